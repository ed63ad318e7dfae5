// The retention limits on the image folder: list the numbered pictures, delete the old ones.
#include "backup_retention.h"

#include <windows.h>

#include <string>
#include <vector>

#include "capture_core.h"
#include "retention.h"
#include "settings_store.h"
#include "win_handles.h"

namespace {

// 100-ns intervals from 1601 to 1970.
constexpr int64_t kUnixEpochInFileTime = 116444736000000000LL;

int64_t UnixSeconds(const FILETIME& time)
{
    const int64_t ticks = static_cast<int64_t>((static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
    return (ticks - kUnixEpochInFileTime) / 10000000;
}

int64_t UnixNow()
{
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return UnixSeconds(now);
}

// The image folder is entered as the numbered save enters it (a folder that cannot be
// entered leaves the current one), so that both name the same files.
class FolderVisit {
public:
    explicit FolderVisit(const std::string& folder)
    {
        char previous[MAX_PATH];
        const DWORD length = GetCurrentDirectoryA(sizeof(previous), previous);
        if (length == 0 || length >= sizeof(previous))
            return;
        previous_ = previous;
        SetCurrentDirectoryA(folder.c_str());
    }
    ~FolderVisit()
    {
        if (!previous_.empty())
            SetCurrentDirectoryA(previous_.c_str());
    }
    FolderVisit(const FolderVisit&) = delete;
    FolderVisit& operator=(const FolderVisit&) = delete;

private:
    std::string previous_;
};

std::vector<NumberedPicture> ListPictures(const std::string& prefix)
{
    std::vector<NumberedPicture> pictures;
    const char* namePart = FileNamePart(prefix.c_str());
    const std::string folderPart = prefix.substr(0, static_cast<size_t>(namePart - prefix.c_str()));
    WIN32_FIND_DATAA entry;
    const FindHandle listing(FindFirstFileExA((prefix + "*").c_str(), FindExInfoBasic, &entry, FindExSearchNameMatch,
                                              nullptr, 0));
    if (!listing)
        return pictures;
    do {
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            continue;
        const int32_t number = ParseNumberedPicture(entry.cFileName, namePart);
        if (number >= 0)
            pictures.push_back({folderPart + entry.cFileName, number, UnixSeconds(entry.ftLastWriteTime)});
    } while (FindNextFileA(listing.get(), &entry));
    return pictures;
}

}  // namespace

void ApplyRetentionLimits()
{
    const int32_t keepFiles = ReadSetting(Setting::keepFiles);
    const int32_t keepDays = ReadSetting(Setting::keepDays);
    if (keepFiles <= 0 && keepDays <= 0)
        return;
    const std::string prefix = ReadSetting(Setting::st);
    FolderVisit folder(ReadSetting(Setting::localDir));
    for (const std::string& name : PicturesToDelete(ListPictures(prefix), keepFiles, keepDays, UnixNow()))
        DeleteFileA(name.c_str());
}
