// Where a picture lies: the one rule that turns the image folder and a name made from
// the prefix into the file's full path. The save, the backup limits and the upload all
// ask it, so that each of them means the same file.
#pragma once
#include <string>

// The name read with `folder` (a full path) as the current folder, as text: a relative
// name ("pc00001.jpg", "sub\\pc00001.jpg") joined to the folder, a name from the root
// ("\\pics\\pc00001.jpg") on the folder's own drive or share, one relative to the
// folder's drive ("C:pc00001.jpg") in the folder. A full or UNC name stays as it is, and
// so does one relative to another drive, whose current folder only the system knows.
// Names are code page 932 text: the second byte of a double-byte character is never
// taken for a separator.
std::string PicturePathText(const std::string& folder, const std::string& name);

// The last part of a name: what follows its last "\\", "/" or drive colon.
std::string PictureNamePart(const std::string& name);

#ifdef _WIN32
// local_dir made full; a folder that is not there (or none) leaves the pictures in the
// current folder, which the program never changes.
std::string ImageFolderPath(const std::string& localDir);
// PicturePathText made full by the system (".." and "." resolved, "/" as "\\"); another
// drive's relative name is read against that drive's current folder. A path too long
// for the system's buffer stays as the text gives it.
std::string PicturePathIn(const std::string& imageFolder, const std::string& name);
// The same from local_dir as the settings hold it.
std::string PicturePath(const std::string& localDir, const std::string& name);
// The folder that the numbered pictures of `prefix` lie in, read as PicturePathIn reads
// their names, with its separator: what the backup limits, the free-space margin and the
// daily timelapse list, and where the timelapse is written.
std::string PictureFolderIn(const std::string& imageFolder, const std::string& prefix);
#endif
