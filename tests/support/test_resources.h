// The bytes of pelmix.exe's resources, for the tests that check what the program
// declares. Windows only; the module is the exe loaded as a data file.
#pragma once
#include <windows.h>

#include <cstdint>
#include <vector>

// The resource in Japanese, the only language the program carries; empty when there is none.
inline std::vector<uint8_t> ResourceBytes(HMODULE module, LPCSTR type, WORD id)
{
    HRSRC found = FindResourceExA(module, type, MAKEINTRESOURCEA(id), MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT));
    if (!found)
        return {};
    const auto* data = static_cast<const uint8_t*>(LockResource(LoadResource(module, found)));
    return data ? std::vector<uint8_t>(data, data + SizeofResource(module, found)) : std::vector<uint8_t>();
}
