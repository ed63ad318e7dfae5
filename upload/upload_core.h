// What an upload sends and where, worked out from the settings without any window.
#pragma once
#include <string>

// local_dir, one backslash, the file name: joined as they are, so "dir\" gives "dir\\name".
std::string LocalUploadPath(const std::string& localDir, const std::string& lastSavedFileName);
// dut_jpg when set, otherwise the file keeps its own name.
std::string RemoteUploadName(const std::string& dutJpg, const std::string& lastSavedFileName);
// The title shown while a transfer runs.
std::string UploadTitle(const char* appTitle);
