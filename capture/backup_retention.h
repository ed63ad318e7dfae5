// Keeps the image folder from filling the disk when the automatic mode keeps backups.
#pragma once
#include <functional>
#include <string>
#include <vector>

// Applies keep_files and keep_days (both absent or 0: nothing is deleted) to the numbered
// pictures of the image folder, never deleting justSaved, the picture the save before it
// named. Only names of the prefix and number pattern are deleted, and only plain files
// whose own folder is the one listed: never a link, a junction or what one points to.
// Returns the names deleted (without folder), oldest first.
std::vector<std::string> ApplyRetentionLimits(const std::string& justSaved);

// Deletes the numbered pictures of the prefix in the image folder (a full path:
// ImageFolderPath) one at a time, oldest first in the order of the backup limits, while
// needMore(), asked after each deletion, says that more room is needed. The newest
// picture, the fixed slot and everything that ApplyRetentionLimits would not delete stay.
// Returns the names deleted, oldest first.
std::vector<std::string> DeleteOldestPictures(const std::string& imageFolder, const std::string& prefix,
                                              const std::function<bool()>& needMore);
