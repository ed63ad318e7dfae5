// One listing of the numbered pictures for the backup limits, the free-space margin and the timelapse.
#include "picture_listing.h"

#include "picture_path.h"
#include "retention.h"
#include "win_handles.h"

namespace {

// 100-ns intervals from 1601 to 1970.
constexpr int64_t kUnixEpochInFileTime = 116444736000000000LL;

}  // namespace

int64_t UnixSecondsOf(const FILETIME& time)
{
    const int64_t ticks = static_cast<int64_t>((static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
    return (ticks - kUnixEpochInFileTime) / 10000000;
}

std::vector<ListedPicture> ListNumberedPictures(const std::string& imageFolder, const std::string& prefix)
{
    const std::string folder = PictureFolderIn(imageFolder, prefix);
    const std::string namePart = PictureNamePart(prefix);
    std::vector<ListedPicture> pictures;
    WIN32_FIND_DATAA entry;
    const FindHandle listing(FindFirstFileExA((folder + namePart + "*").c_str(), FindExInfoBasic, &entry,
                                              FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH));
    if (!listing)
        return pictures;
    do {
        if (entry.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))
            continue;
        const int32_t number = ParseNumberedPicture(entry.cFileName, namePart.c_str());
        if (number >= 0)
            pictures.push_back({folder + entry.cFileName, entry.cFileName, number, entry.ftLastWriteTime});
    } while (FindNextFileA(listing.get(), &entry));
    return pictures;
}
