// Which backups go when a limit on them is set: platform-neutral, so that the rule is
// tested without a folder.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

constexpr int64_t kSecondsPerDay = 86400;

// The number of a picture that this program names: exactly the prefix (ASCII letters
// without regard to case, as the number scan compares it), five digits and ".bmp" or
// ".jpg" in any case. -1 for any other name, so that look-alikes ("pc0001.jpg",
// "pc00001.jpg.txt", "xpc00001.jpg", "pc00001 (2).jpg") are never taken for a backup.
int32_t ParseNumberedPicture(const char* name, const char* prefix);

struct NumberedPicture {
    std::string name;
    int32_t number;
    int64_t writeTime;  // seconds since 1970, UTC
};

// A picture dated further than this ahead of the clock was written while a clock was
// wrong; nearer ones (a clock set right by a few hours, a coarse file system) are dated
// as written.
constexpr int64_t kClockSlack = kSecondsPerDay;

// The names to delete, oldest first, so that only the newest `keepFiles` pictures, and
// only those written in the last `keepDays` days, remain; 0 or less means no such limit.
// The picture just saved (`justSaved`, a name without folder) is the newest and is never
// deleted. Then newest means the latest written, and of two written in the same second
// the higher number: once the numbers have run out and start again from the lowest free
// one, the newest picture has a low number. A picture dated beyond the clock slack counts
// as older than every other, so that it never holds a place for good; of two such, the
// higher number is the newer. keepDays measures the age from the date, so it deletes such
// a picture only once that date has passed. The fixed slot is never deleted and never
// counted.
std::vector<std::string> PicturesToDelete(std::vector<NumberedPicture> pictures, int32_t keepFiles,
                                          int32_t keepDays, int64_t now, const std::string& justSaved);

// The log line for one run of deletions: what was deleted (the backup limits' old
// backups, or pictures deleted for free space), how many, the first and the last name;
// empty when nothing was deleted.
constexpr const char* kOldBackups = "古いバックアップ";
constexpr const char* kPicturesForSpace = "空き容量を確保するため古い写真";
std::string DeletionLogLine(const std::vector<std::string>& deleted, const char* what = kOldBackups);
