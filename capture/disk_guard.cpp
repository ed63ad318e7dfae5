// The free-space margin of the image folder's drive, kept by deleting the oldest pictures.
#include "disk_guard.h"

#include <windows.h>

#include <algorithm>
#include <ctime>

#include "picture_listing.h"
#include "retention.h"

namespace {

bool IsSlash(char c) { return c == '\\' || c == '/'; }

// Pictures in the order they are to go, oldest first; the newest is never among them.
std::vector<std::string> OldestFirst(const std::string& imageFolder, const std::string& prefix)
{
    std::vector<NumberedPicture> pictures;
    for (const ListedPicture& p : ListNumberedPictures(imageFolder, prefix))
        pictures.push_back({p.path, p.number, UnixSecondsOf(p.writeTime)});
    // The backup limits' own order: keeping one gives every other picture, newest first.
    std::vector<std::string> doomed = PicturesToDelete(pictures, 1, 0, static_cast<int64_t>(std::time(nullptr)));
    std::reverse(doomed.begin(), doomed.end());
    return doomed;
}

std::string RelativeTo(const std::string& imageFolder, const std::string& path)
{
    if (imageFolder.empty() || path.compare(0, imageFolder.size(), imageFolder) != 0)
        return path;
    size_t start = imageFolder.size();
    while (start < path.size() && IsSlash(path[start]))
        ++start;
    return path.substr(start);
}

}  // namespace

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
    if (keepFreeBytes == 0 || !query(imageFolder, &room.freeBytes) || room.freeBytes >= keepFreeBytes)
        return room;
    for (const std::string& path : OldestFirst(imageFolder, prefix)) {
        if (!DeleteFileA(path.c_str()))
            continue;
        room.deleted.push_back(RelativeTo(imageFolder, path));
        if (!query(imageFolder, &room.freeBytes))
            return room;
        if (room.freeBytes >= keepFreeBytes)
            return room;
    }
    room.enough = false;
    return room;
}
