// The claim on a folder is a named shared memory block that holds the main window's
// handle; the system removes it with the last process that has it open, so a crash
// leaves no stale claim behind.
#include "single_instance.h"

#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

// How long a second start waits for the first one's window, which may still be being made.
constexpr DWORD kWindowWaitMs = 5000;
constexpr DWORD kWindowPollMs = 50;

uint32_t Fnv1a(const char* text)
{
    uint32_t hash = 2166136261u;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
        hash ^= *p;
        hash *= 16777619u;
    }
    return hash;
}

// "C:\Cam" and "c:\cam" are one folder to Windows: the name is made from the upper case.
bool ClaimName(char (&name)[64])
{
    const DWORD needed = GetCurrentDirectoryA(0, nullptr);
    if (needed == 0)
        return false;
    std::vector<char> folder(needed + 1);
    const DWORD length = GetCurrentDirectoryA(static_cast<DWORD>(folder.size()), folder.data());
    if (length == 0 || length >= folder.size())
        return false;
    CharUpperBuffA(folder.data(), length);
    snprintf(name, sizeof(name), "Local\\Pelmix-%08lX", static_cast<unsigned long>(Fnv1a(folder.data())));
    return true;
}

// The handle is stored as 64 bits, so that the 32-bit and 64-bit builds read each other's.
HWND WaitForPublishedWindow(const volatile uint64_t* slot)
{
    for (DWORD waited = 0;; waited += kWindowPollMs) {
        HWND window = reinterpret_cast<HWND>(static_cast<uintptr_t>(*slot));
        if ((window && IsWindow(window)) || waited >= kWindowWaitMs)
            return window;
        Sleep(kWindowPollMs);
    }
}

void BringToFront(HWND window)
{
    if (!window || !IsWindow(window))
        return;
    // Async: the first one may be busy in an upload, and this start must not wait for it.
    if (IsIconic(window))
        ShowWindowAsync(window, SW_RESTORE);
    SetForegroundWindow(window);
}

}  // namespace

FolderInstance::~FolderInstance()
{
    if (view_)
        UnmapViewOfFile(view_);
    if (mapping_)
        CloseHandle(mapping_);
}

bool FolderInstance::Claim()
{
    char name[64];
    if (!ClaimName(name))
        return true;
    mapping_ = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(uint64_t), name);
    const bool taken = mapping_ && GetLastError() == ERROR_ALREADY_EXISTS;
    // Without the block the program runs without the one-instance check rather than not at all.
    if (!mapping_)
        return true;
    view_ = MapViewOfFile(mapping_, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(uint64_t));
    if (taken) {
        if (view_)
            BringToFront(WaitForPublishedWindow(static_cast<const volatile uint64_t*>(view_)));
        return false;
    }
    return true;
}

void FolderInstance::Publish(HWND mainWindow)
{
    if (view_)
        *static_cast<volatile uint64_t*>(view_) = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(mainWindow));
}
