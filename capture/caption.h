// How a caption is drawn on a picture: the one look of every captioned picture.
#pragma once
#include <windows.h>

#include <cstdint>

// The caption in black, then in white two pixels up and left of it, on the picture
// selected into memoryDc; with shownIn, the captioned picture is also shown beside the
// live one, which the capture window shows unscaled at the top left.
void PaintCaption(HWND shownIn, HDC windowDc, HDC memoryDc, int32_t width, int32_t height, const char* text);
