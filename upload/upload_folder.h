// The folder under the temporary one where the uploads keep the files they send, so that
// nothing of theirs ever lands beside the pictures.
#pragma once
#include <string>

// That folder's file with the name nameFor gives for this program's folder, the folder
// made when it is missing; empty when there is no temporary folder to have.
std::string UploadFolderFile(std::string (*nameFor)(const std::string& startFolder));
