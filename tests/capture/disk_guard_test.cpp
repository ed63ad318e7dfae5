// keep_free_mb in a real folder; the drive's free space is the start value plus what the
// guard has deleted, so no full disk is needed.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "capture_test_support.h"
#include "disk_guard.h"

namespace {

constexpr size_t kPictureBytes = 1000;
uint64_t g_startFree = 0;
bool g_queryWorks = true;

uint64_t FolderBytes(const std::string& folder)
{
    uint64_t total = 0;
    WIN32_FIND_DATAA entry;
    HANDLE listing = FindFirstFileA((folder + "\\*").c_str(), &entry);
    if (listing == INVALID_HANDLE_VALUE)
        return 0;
    do {
        total += entry.nFileSizeLow;
    } while (FindNextFileA(listing, &entry));
    FindClose(listing);
    return total;
}

uint64_t g_startBytes = 0;

bool FakeFreeBytes(const std::string& folder, uint64_t* freeBytes)
{
    *freeBytes = g_startFree + g_startBytes - FolderBytes(folder);
    return g_queryWorks;
}

void WriteAt(const std::string& path, int64_t unixSeconds)
{
    ASSERT_TRUE(WriteBytes(path, std::vector<uint8_t>(kPictureBytes, 0x5a)));
    const int64_t ticks = unixSeconds * 10000000 + 116444736000000000LL;
    FILETIME time{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    SetFileTime(file, nullptr, nullptr, &time);
    CloseHandle(file);
}

TEST(DiskGuard, DeletesTheOldestPicturesUntilTheMarginIsFree)
{
    struct Case {
        uint64_t keepFree;
        uint64_t startFree;
        bool queryWorks;
        std::vector<std::string> deleted;
        bool enough;
        bool fromAbove = false;  // the prefix names the pictures' folder from the folder above it
    };
    const Case cases[] = {
        {0, 0, true, {}, true},
        {5000, 5000, true, {}, true},
        {5000, 4500, true, {"pc00001.jpg"}, true},
        // Of two written in the same second the lower number is the older.
        {5000, 2500, true, {"pc00001.jpg", "pc00002.bmp", "pc00003.jpg"}, true},
        {5000, 2500, true, {"pc00001.jpg", "pc00002.bmp", "pc00003.jpg"}, true, true},
        // The newest picture, the fixed slot, look-alikes and a folder stay.
        {99000, 0, true, {"pc00001.jpg", "pc00002.bmp", "pc00003.jpg", "pc00004.JPG"}, false},
        {5000, 0, false, {}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.keepFree) + " to keep, " + std::to_string(c.startFree) + " free");
        ScratchFolder scratch;
        const std::string folder = scratch.path() + "\\img";
        CreateDirectoryA(folder.c_str(), nullptr);
        CreateDirectoryA((folder + "\\pc00000.jpg").c_str(), nullptr);
        WriteAt(folder + "\\pc00001.jpg", 1000);
        WriteAt(folder + "\\pc00002.bmp", 2000);
        WriteAt(folder + "\\pc00003.jpg", 3000);
        WriteAt(folder + "\\pc00004.JPG", 3000);
        WriteAt(folder + "\\pc00005.jpg", 4000);
        WriteAt(folder + "\\pc99999.jpg", 10);
        WriteAt(folder + "\\pc0001.jpg", 10);
        WriteAt(folder + "\\pc00006.jpg.txt", 10);
        g_startBytes = FolderBytes(folder);
        g_startFree = c.startFree;
        g_queryWorks = c.queryWorks;

        const RoomForSave room = MakeRoomForSave(c.fromAbove ? scratch.path() : folder, c.fromAbove ? "img\\pc" : "pc",
                                                 c.keepFree, FakeFreeBytes);
        EXPECT_EQ(room.deleted, c.deleted);
        EXPECT_EQ(room.enough, c.enough);
        EXPECT_EQ(FolderEntries(folder).size(), 9 - c.deleted.size());
        for (const std::string& name : c.deleted)
            EXPECT_FALSE(FileExists(folder + "\\" + name)) << name;
    }
}

}  // namespace
