// The retention limits on the image folder: list the numbered pictures, delete the old ones.
#include "backup_retention.h"

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "picture_listing.h"
#include "picture_path.h"
#include "retention.h"
#include "settings_store.h"
#include "win_handles.h"

namespace {

int64_t UnixNow()
{
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return UnixSecondsOf(now);
}

// The system's own full path of an open file or folder; empty when it cannot tell.
std::string FinalPath(HANDLE handle)
{
    char path[MAX_PATH];
    const DWORD length = GetFinalPathNameByHandleA(handle, path, sizeof(path), FILE_NAME_NORMALIZED);
    return length > 0 && length < sizeof(path) ? std::string(path, length) : std::string();
}

// The listed folder's full path as FinalPath gives a file in it, separator included.
std::string FinalFolderPath(const std::string& folder)
{
    const KernelHandle opened(CreateFileA(folder.c_str(), FILE_READ_ATTRIBUTES,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    std::string path = opened ? FinalPath(opened.get()) : std::string();
    if (!path.empty() && PictureNamePart(path).size() > 0)
        path += '\\';
    return path;
}

// Deletes the file only when it is a plain file that lies in the folder under that very
// name. A link, junction or other reparse point is never deleted; a link the system
// follows by itself (a Unix symbolic link under Wine) opens as its target, whose real
// path then names another folder or file. The check and the deletion use one handle,
// so nothing can be put in the file's place between them.
bool DeletePlainFile(const std::string& finalFolder, const std::string& folder, const std::string& name)
{
    const KernelHandle file(CreateFileA((folder + name).c_str(), DELETE | FILE_READ_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                        OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION info;
    if (!file || !GetFileInformationByHandle(file.get(), &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)))
        return false;
    if (finalFolder.empty() || FinalPath(file.get()) != finalFolder + name)
        return false;
    FILE_DISPOSITION_INFO disposition = {TRUE};
    return SetFileInformationByHandle(file.get(), FileDispositionInfo, &disposition, sizeof(disposition)) != 0;
}

// The numbered pictures of the prefix where the save puts them, as the limits weigh them.
std::vector<NumberedPicture> ListPictures(const std::string& imageFolder, const std::string& prefix)
{
    std::vector<NumberedPicture> pictures;
    for (const ListedPicture& p : ListNumberedPictures(imageFolder, prefix))
        pictures.push_back({p.name, p.number, UnixSecondsOf(p.writeTime)});
    return pictures;
}

// The folder the prefix's pictures lie in (with its separator), and its full path as the
// system gives it, for DeletePlainFile.
struct PictureFolder {
    PictureFolder(const std::string& imageFolder, const std::string& prefix)
        : folder(PictureFolderIn(imageFolder, prefix)), finalFolder(FinalFolderPath(folder))
    {
    }
    std::string folder;
    std::string finalFolder;
};

}  // namespace

std::vector<std::string> ApplyRetentionLimits(const std::string& justSaved)
{
    std::vector<std::string> deleted;
    const int32_t keepFiles = ReadSetting(Setting::keepFiles);
    const int32_t keepDays = ReadSetting(Setting::keepDays);
    if (keepFiles <= 0 && keepDays <= 0)
        return deleted;
    const std::string prefix = ReadSetting(Setting::st);
    const std::string imageFolder = ImageFolderPath(ReadSetting(Setting::localDir));
    const PictureFolder at(imageFolder, prefix);
    const std::string kept = PictureNamePart(justSaved);
    for (const std::string& name :
         PicturesToDelete(ListPictures(imageFolder, prefix), keepFiles, keepDays, UnixNow(), kept)) {
        if (DeletePlainFile(at.finalFolder, at.folder, name))
            deleted.push_back(name);
    }
    return deleted;
}

std::vector<std::string> DeleteOldestPictures(const std::string& imageFolder, const std::string& prefix,
                                              const std::function<bool()>& needMore)
{
    std::vector<std::string> deleted;
    const PictureFolder at(imageFolder, prefix);
    // The backup limits' own order: keeping one gives every other picture, oldest first.
    for (const std::string& name : PicturesToDelete(ListPictures(imageFolder, prefix), 1, 0, UnixNow(), "")) {
        if (!DeletePlainFile(at.finalFolder, at.folder, name))
            continue;
        deleted.push_back(name);
        if (!needMore())
            break;
    }
    return deleted;
}
