// How a stored value's text is taken for a number in a range or for one of a few words.
#pragma once
#include <cstdint>

// A plain decimal number (blanks around it allowed, a minus sign for a negative one)
// within least..most. Anything else ("1e9", "0x15", "2145abc", a value that would wrap)
// is refused, and value is then left as it was.
bool ReadDecimalInRange(const char* text, int32_t least, int32_t most, int32_t& value);
// The index of the word that text is, in any ASCII case; -1 when it is none of them.
int FindWord(const char* text, const char* const* words, int count);
