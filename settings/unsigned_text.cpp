// The text of a number field read as an unsigned 32-bit decimal number.
#include "unsigned_text.h"

namespace {

// The digit at text, plain or full-width (what the Japanese input method types),
// and how many bytes it takes; 0 bytes when there is no digit there.
int DigitAt(const char* text, unsigned& digit)
{
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    if (p[0] >= '0' && p[0] <= '9') {
        digit = p[0] - '0';
        return 1;
    }
    if (p[0] == 0x82 && p[1] >= 0x4F && p[1] <= 0x58) {
        digit = p[1] - 0x4F;
        return 2;
    }
    return 0;
}

}  // namespace

uint32_t ReadUnsignedDecimal(const char* text)
{
    while (*text == ' ')
        ++text;
    uint64_t value = 0;
    unsigned digit = 0;
    for (int length; (length = DigitAt(text, digit)) > 0; text += length) {
        value = value * 10 + digit;
        if (value > UINT32_MAX)
            return 0;
    }
    return static_cast<uint32_t>(value);
}
