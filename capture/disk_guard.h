// Keeps a margin of free space on the pictures' drive: before a save, the oldest
// numbered pictures are deleted until the margin is there again.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Free bytes for this user on the drive of `folder`; false when it cannot be known.
using FreeSpaceQuery = bool (*)(const std::string& folder, uint64_t* freeBytes);
bool QueryFreeBytes(const std::string& folder, uint64_t* freeBytes);

struct RoomForSave {
    bool enough = true;  // false: the save is to be skipped
    uint64_t freeBytes = 0;  // as last measured (0 when it could not be)
    std::vector<std::string> deleted;  // oldest first, names without their folder
};

// With less than `keepFreeBytes` free on the drive that the pictures of `prefix` lie on
// (read against `imageFolder`, a full path: ImageFolderPath), deletes the oldest numbered
// pictures of `prefix` (the names and the order the backup limits go by) one by one until
// there is that much. The newest picture, the fixed slot, links and every other
// name stay, so a drive still short of space after that leaves `enough` false. A drive
// whose free space cannot be read is left alone. 0 bytes: nothing is looked at.
RoomForSave MakeRoomForSave(const std::string& imageFolder, const std::string& prefix, uint64_t keepFreeBytes,
                            FreeSpaceQuery query = QueryFreeBytes);
