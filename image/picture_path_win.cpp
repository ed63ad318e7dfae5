// The path rule with the system's part: the full image folder, and the system's reading
// of a path (dot folders, another drive's current folder).
#include "picture_path.h"

#include <windows.h>

namespace {

// The system's full form of a path; empty when it has none that fits.
std::string FullPath(const std::string& path)
{
    char full[MAX_PATH];
    const DWORD length = GetFullPathNameA(path.c_str(), sizeof(full), full, nullptr);
    return length > 0 && length < sizeof(full) ? std::string(full, length) : std::string();
}

}  // namespace

std::string ImageFolderPath(const std::string& localDir)
{
    const DWORD attributes = GetFileAttributesA(localDir.c_str());
    const bool usable = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    return FullPath(usable ? localDir : ".");
}

std::string PicturePathIn(const std::string& imageFolder, const std::string& name)
{
    const std::string text = PicturePathText(imageFolder, name);
    const std::string full = FullPath(text);
    return full.empty() ? text : full;
}

std::string PicturePath(const std::string& localDir, const std::string& name)
{
    return PicturePathIn(ImageFolderPath(localDir), name);
}

std::string PictureFolderIn(const std::string& imageFolder, const std::string& prefix)
{
    // A name of the prefix's pattern, so that the system reads the folder as it reads a picture's.
    const std::string pattern = PicturePathIn(imageFolder, prefix + "*");
    return pattern.substr(0, pattern.size() - PictureNamePart(pattern).size());
}
