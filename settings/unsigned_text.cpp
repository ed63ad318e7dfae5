// The text of a number field read as an unsigned 32-bit decimal number.
#include "unsigned_text.h"

uint32_t ReadUnsignedDecimal(const char* text)
{
    while (*text == ' ')
        ++text;
    uint64_t value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        value = value * 10 + static_cast<uint64_t>(*text - '0');
        if (value > UINT32_MAX)
            return 0;
    }
    return static_cast<uint32_t>(value);
}
