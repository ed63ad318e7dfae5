// The numbered pictures of the image folder as the backup limits name them.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

struct ListedPicture {
    std::string path;  // full
    std::string name;  // the name alone
    int32_t number;
    FILETIME writeTime;
};

// Every file named exactly prefix, five digits and .jpg or .bmp, in the prefix's folder of
// the image folder (a full path: ImageFolderPath) as PictureFolderIn gives it. Folders and
// links are left out: neither is a picture this program wrote.
std::vector<ListedPicture> ListNumberedPictures(const std::string& imageFolder, const std::string& prefix);

// Seconds since 1970, UTC.
int64_t UnixSecondsOf(const FILETIME& time);
