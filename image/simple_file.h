// The simple file calls BMP files are read and written with: _lopen, _hread,
// _lcreat, _hwrite and _lclose on Windows, their POSIX equivalents elsewhere.
#pragma once
#include <cstdint>

class SimpleFile {
public:
    SimpleFile() = default;
    ~SimpleFile() { Close(); }
    SimpleFile(const SimpleFile&) = delete;
    SimpleFile& operator=(const SimpleFile&) = delete;

    bool OpenRead(const char* path);
    bool Create(const char* path);  // truncates an existing file
    uint32_t Read(void* buffer, uint32_t count);  // bytes read; fewer at the end of the file
    uint64_t Size();  // the whole file's length; 0 when it cannot be told
    bool Write(const void* data, uint32_t count);  // true when all bytes were written
    bool Close();  // false when the last writes could not be completed

private:
    int handle = -1;
};
