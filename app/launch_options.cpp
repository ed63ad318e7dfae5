// The command line, read as words separated by blanks.
#include "launch_options.h"

#include <cstring>
#include <string>

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

bool IsAutoWord(std::string word)
{
    if (word.size() >= 2 && word.front() == '"' && word.back() == '"')
        word = word.substr(1, word.size() - 2);
    if (word.size() != 5 || (word[0] != '/' && word[0] != '-'))
        return false;
    for (size_t i = 1; i < word.size(); ++i) {
        if (word[i] >= 'A' && word[i] <= 'Z')
            word[i] = static_cast<char>(word[i] - 'A' + 'a');
    }
    return word.compare(1, 4, "auto") == 0;
}

}  // namespace

bool HasAutoSwitch(const char* commandLine)
{
    if (!commandLine)
        return false;
    const char* p = commandLine;
    while (*p) {
        while (IsBlank(*p))
            ++p;
        const char* start = p;
        while (*p && !IsBlank(*p))
            ++p;
        if (p > start && IsAutoWord(std::string(start, p)))
            return true;
    }
    return false;
}
