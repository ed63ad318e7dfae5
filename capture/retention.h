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

// The names to delete so that only the newest `keepFiles` pictures, and only those
// written in the last `keepDays` days, remain; 0 or less means no such limit. Newest
// means the latest written, and of two written in the same second the higher number: once
// the numbers have run out and start again from the lowest free one, the newest picture
// has a low number. The fixed slot is never deleted and never counted.
std::vector<std::string> PicturesToDelete(std::vector<NumberedPicture> pictures, int32_t keepFiles,
                                          int32_t keepDays, int64_t now);
