// The free-space margin of the pictures' drive, kept by deleting the oldest pictures.
#include "disk_guard.h"

#include <windows.h>

#include "backup_retention.h"
#include "picture_path.h"

bool QueryFreeBytes(const std::string& folder, uint64_t* freeBytes)
{
    ULARGE_INTEGER available;
    if (!GetDiskFreeSpaceExA(folder.empty() ? nullptr : folder.c_str(), &available, nullptr, nullptr))
        return false;
    *freeBytes = available.QuadPart;
    return true;
}

RoomForSave MakeRoomForSave(const std::string& imageFolder, const std::string& prefix, uint64_t keepFreeBytes,
                            FreeSpaceQuery query)
{
    RoomForSave room;
    if (keepFreeBytes == 0)
        return room;
    // The drive the pictures are saved on and deleted from, which a prefix with a drive or
    // share of its own puts elsewhere than the image folder.
    const std::string folder = PictureFolderIn(imageFolder, prefix);
    if (!query(folder, &room.freeBytes) || room.freeBytes >= keepFreeBytes)
        return room;
    bool known = true;
    room.deleted = DeleteOldestPictures(imageFolder, prefix, [&] {
        known = query(folder, &room.freeBytes);
        return known && room.freeBytes < keepFreeBytes;
    });
    // A drive whose free space can no longer be read is left as it is.
    room.enough = !known || room.freeBytes >= keepFreeBytes;
    return room;
}
