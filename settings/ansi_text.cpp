// ANSI text in the system code page, where one character may take two bytes.
#include "ansi_text.h"

#include <windows.h>

size_t WholeCharacterLength(const char* text)
{
    size_t length = 0;
    while (text[length]) {
        if (IsDBCSLeadByte(static_cast<BYTE>(text[length]))) {
            if (!text[length + 1])
                break;
            length += 2;
        } else {
            ++length;
        }
    }
    return length;
}
