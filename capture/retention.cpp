// The retention rule for backups.
#include "retention.h"

#include <algorithm>
#include <cstring>

#include "capture_core.h"

namespace {

char LowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool EqualsWithoutCase(const char* text, const char* expected)
{
    for (; *expected; ++text, ++expected) {
        if (LowerAscii(*text) != *expected)
            return false;
    }
    return *text == '\0';
}

}  // namespace

int32_t ParseNumberedPicture(const char* name, const char* prefix)
{
    // The prefix is compared as the number scan compares it; the rest must be exactly
    // what FormatNumberedName writes.
    if (!name || !prefix || !MatchesNumberedName(name, prefix))
        return -1;
    const char* digits = name + std::strlen(prefix);
    int32_t number = 0;
    for (int i = 0; i < 5; ++i) {
        if (!IsDigit(digits[i]))
            return -1;
        number = number * 10 + (digits[i] - '0');
    }
    const char* extension = digits + 5;
    if (!EqualsWithoutCase(extension, ".jpg") && !EqualsWithoutCase(extension, ".bmp"))
        return -1;
    return number;
}

std::vector<std::string> PicturesToDelete(std::vector<NumberedPicture> pictures, int32_t keepFiles,
                                          int32_t keepDays, int64_t now)
{
    pictures.erase(std::remove_if(pictures.begin(), pictures.end(),
                                  [](const NumberedPicture& p) { return p.number == kFixedSlotNumber; }),
                   pictures.end());
    std::sort(pictures.begin(), pictures.end(), [](const NumberedPicture& a, const NumberedPicture& b) {
        return a.writeTime != b.writeTime ? a.writeTime > b.writeTime : a.number > b.number;
    });
    const int64_t oldestKept = keepDays > 0 ? now - int64_t{keepDays} * kSecondsPerDay : INT64_MIN;
    std::vector<std::string> doomed;
    for (size_t i = 0; i < pictures.size(); ++i) {
        const bool beyondCount = keepFiles > 0 && i >= static_cast<size_t>(keepFiles);
        if (beyondCount || pictures[i].writeTime < oldestKept)
            doomed.push_back(pictures[i].name);
    }
    return doomed;
}
