#include "upload_folder.h"

#include <windows.h>

std::string UploadFolderFile(std::string (*nameFor)(const std::string& startFolder))
{
    char temp[MAX_PATH];
    char current[MAX_PATH];
    const DWORD tempLength = GetTempPathA(sizeof(temp), temp);
    const DWORD currentLength = GetCurrentDirectoryA(sizeof(current), current);
    if (tempLength == 0 || tempLength >= sizeof(temp) || currentLength == 0 || currentLength >= sizeof(current))
        return "";
    const std::string folder = std::string(temp) + "Pelmix upload";
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder + "\\" + nameFor(current);
}
