// The one operation that produces pictures: the current frame as the next numbered
// BMP, or as a captioned JPEG, in the image folder.
#pragma once
#include <cstdint>

void SaveNumberedImage(bool jpeg, bool caption, int32_t startNumber);
