// The smaller copy of a captioned picture that the upload sends instead of it.
#pragma once
#include <cstdint>
#include <string>

// With upload_width set: the picture (info header with masks or colour table, and its
// bottom-up rows, without caption) scaled to at most that width, the caption drawn on
// the smaller picture so that it stays legible, as a JPEG of upload_quality (0 or absent:
// archiveQuality) in the upload's temporary folder. Its full path; empty without
// upload_width or when no copy could be made, and the picture itself is then sent.
std::string MakeUploadCopy(const uint8_t* header, const uint8_t* pixelRows, const char* caption,
                           int32_t archiveQuality);
