// The retention rule for backups.
#include "retention.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <tuple>

#include "capture_core.h"

namespace {

char LowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Two entry names of one folder: the system compares names without regard to case.
bool SameName(const std::string& a, const std::string& b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return LowerAscii(x) == LowerAscii(y); });
}

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
                                          int32_t keepDays, int64_t now, const std::string& justSaved)
{
    pictures.erase(std::remove_if(pictures.begin(), pictures.end(),
                                  [](const NumberedPicture& p) { return p.number == kFixedSlotNumber; }),
                   pictures.end());
    const auto rank = [&](const NumberedPicture& p) {
        const int tier = SameName(p.name, justSaved) ? 0 : p.writeTime > now + kClockSlack ? 2 : 1;
        return std::make_tuple(tier, tier == 1 ? -p.writeTime : 0, -p.number);
    };
    std::sort(pictures.begin(), pictures.end(),
              [&](const NumberedPicture& a, const NumberedPicture& b) { return rank(a) < rank(b); });
    const int64_t oldestKept = keepDays > 0 ? now - int64_t{keepDays} * kSecondsPerDay : INT64_MIN;
    std::vector<std::string> doomed;
    for (size_t i = pictures.size(); i-- > 0;) {
        const bool beyondCount = keepFiles > 0 && i >= static_cast<size_t>(keepFiles);
        const bool kept = SameName(pictures[i].name, justSaved);
        if (!kept && (beyondCount || pictures[i].writeTime < oldestKept))
            doomed.push_back(pictures[i].name);
    }
    return doomed;
}

std::string DeletionLogLine(const std::vector<std::string>& deleted, const char* what)
{
    char line[700];
    if (deleted.empty())
        return "";
    if (deleted.size() == 1)
        std::snprintf(line, sizeof(line), "%sを1枚削除しました (%s)", what, deleted.front().c_str());
    else
        std::snprintf(line, sizeof(line), "%sを%u枚削除しました (%s ～ %s)", what,
                      static_cast<unsigned>(deleted.size()), deleted.front().c_str(), deleted.back().c_str());
    return line;
}
