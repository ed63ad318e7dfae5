// The text of a number field read as an unsigned 32-bit decimal number.
#pragma once
#include <cstdint>

// Leading spaces are skipped, then decimal digits (plain or full-width) are read up
// to the first other character. No digits, or a value above 4294967295, gives 0.
uint32_t ReadUnsignedDecimal(const char* text);
