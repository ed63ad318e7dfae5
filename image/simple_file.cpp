// The simple file calls BMP files are read and written with.
#include "simple_file.h"

#ifdef _WIN32
#include <windows.h>

bool SimpleFile::OpenRead(const char* path)
{
    Close();
    handle = _lopen(path, OF_READ);
    return handle != HFILE_ERROR;
}

bool SimpleFile::Create(const char* path)
{
    Close();
    handle = _lcreat(path, 0);
    return handle != HFILE_ERROR;
}

uint32_t SimpleFile::Read(void* buffer, uint32_t count)
{
    long n = _hread(handle, buffer, long(count));
    return n > 0 ? uint32_t(n) : 0;
}

uint64_t SimpleFile::Size()
{
    LARGE_INTEGER size;
    HANDLE file = reinterpret_cast<HANDLE>(static_cast<intptr_t>(handle));
    return handle != HFILE_ERROR && GetFileSizeEx(file, &size) ? uint64_t(size.QuadPart) : 0;
}

bool SimpleFile::Write(const void* data, uint32_t count)
{
    return _hwrite(handle, static_cast<const char*>(data), long(count)) == long(count);
}

bool SimpleFile::Close()
{
    if (handle == HFILE_ERROR) return true;
    HFILE h = handle;
    handle = HFILE_ERROR;
    return _lclose(h) != HFILE_ERROR;
}

#else
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

bool SimpleFile::OpenRead(const char* path)
{
    Close();
    handle = open(path, O_RDONLY | O_CLOEXEC);
    return handle != -1;
}

bool SimpleFile::Create(const char* path)
{
    Close();
    handle = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    return handle != -1;
}

uint32_t SimpleFile::Read(void* buffer, uint32_t count)
{
    uint32_t done = 0;
    while (done < count) {
        ssize_t n = read(handle, static_cast<char*>(buffer) + done, count - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += uint32_t(n);
    }
    return done;
}

uint64_t SimpleFile::Size()
{
    struct stat info;
    return handle != -1 && fstat(handle, &info) == 0 ? uint64_t(info.st_size) : 0;
}

bool SimpleFile::Write(const void* data, uint32_t count)
{
    uint32_t done = 0;
    while (done < count) {
        ssize_t n = write(handle, static_cast<const char*>(data) + done, count - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += uint32_t(n);
    }
    return true;
}

bool SimpleFile::Close()
{
    if (handle == -1) return true;
    int h = handle;
    handle = -1;
    return close(h) == 0;
}
#endif
