// The caption's look, shared by the saved picture and the upload's smaller copy.
#include "caption.h"

void PaintCaption(HWND shownIn, HDC windowDc, HDC memoryDc, int32_t width, int32_t height, const char* text)
{
    RECT area = {8, 8, width - 1, height - 1};
    SetBkMode(memoryDc, TRANSPARENT);
    SetTextColor(memoryDc, RGB(0, 0, 0));
    DrawTextA(memoryDc, text, -1, &area, 0);
    SetTextColor(memoryDc, RGB(255, 255, 255));
    area.left = 6;
    area.top = 6;
    DrawTextA(memoryDc, text, -1, &area, 0);
    if (shownIn)
        BitBlt(windowDc, (width - 1) + 4, 0, width - 1, height - 1, memoryDc, 0, 0, SRCCOPY);
}
