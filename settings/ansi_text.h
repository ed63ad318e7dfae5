// ANSI text in the system code page, where one character may take two bytes.
#pragma once
#include <cstddef>

// Length of the text without a lead byte whose second byte was cut away.
size_t WholeCharacterLength(const char* text);
