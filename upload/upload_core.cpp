// Local path, remote name and title of an upload.
#include "upload_core.h"

std::string LocalUploadPath(const std::string& localDir, const std::string& lastSavedFileName)
{
    return localDir + '\\' + lastSavedFileName;
}

std::string RemoteUploadName(const std::string& dutJpg, const std::string& lastSavedFileName)
{
    return dutJpg.empty() ? lastSavedFileName : dutJpg;
}

std::string UploadTitle(const char* appTitle)
{
    return std::string("アップロード中 - ") + appTitle;
}
