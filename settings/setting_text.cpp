// How a stored value's text is taken for a number in a range or for one of a few words.
#include "setting_text.h"

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

char Lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

bool ReadDecimalInRange(const char* text, int32_t least, int32_t most, int32_t& value)
{
    while (IsBlank(*text))
        ++text;
    const bool negative = *text == '-';
    if (negative)
        ++text;
    if (*text < '0' || *text > '9')
        return false;
    int64_t number = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        number = number * 10 + (*text - '0');
        if (number > INT64_C(0x80000000))
            return false;
    }
    while (IsBlank(*text))
        ++text;
    if (*text != '\0')
        return false;
    if (negative)
        number = -number;
    if (number < least || number > most)
        return false;
    value = static_cast<int32_t>(number);
    return true;
}

int FindWord(const char* text, const char* const* words, int count)
{
    for (int i = 0; i < count; ++i) {
        const char* a = text;
        const char* b = words[i];
        while (*a && Lower(*a) == Lower(*b)) {
            ++a;
            ++b;
        }
        if (*a == '\0' && *b == '\0')
            return i;
    }
    return -1;
}
