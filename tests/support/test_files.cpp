// Whole files in one call, for the tests of every folder.
#include "test_files.h"

#include <cstdio>

namespace {

bool Write(const std::string& path, const void* data, size_t size)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    const bool ok = size == 0 || std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && ok;
}

template <class Bytes>
bool Read(const std::string& path, Bytes& bytes)
{
    bytes.clear();
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return false;
    char chunk[65536];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof(chunk), file)) > 0)
        bytes.insert(bytes.end(), chunk, chunk + got);
    std::fclose(file);
    return true;
}

}  // namespace

bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes)
{
    return Write(path, bytes.data(), bytes.size());
}

bool WriteText(const std::string& path, const std::string& text) { return Write(path, text.data(), text.size()); }

bool ReadBytes(const std::string& path, std::vector<uint8_t>& bytes) { return Read(path, bytes); }

std::vector<uint8_t> ReadBytes(const std::string& path)
{
    std::vector<uint8_t> bytes;
    Read(path, bytes);
    return bytes;
}

std::string ReadText(const std::string& path)
{
    std::string text;
    Read(path, text);
    return text;
}
