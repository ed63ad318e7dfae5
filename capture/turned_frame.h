// The camera's frames turned and mirrored as the settings ask (rotate, flip), for the
// preview and for every save, so that what is shown is what is saved.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "capture_window.h"

// The frame as the settings turn it, its bytes kept in store; the frame itself when
// they ask for nothing or it is no picture that can be turned.
CapturedFrame TurnedFrame(const CapturedFrame& frame, std::vector<uint8_t>& store);

// The BMP file the capture window wrote, rewritten turned when the settings ask for it.
void TurnSavedBmp(const std::string& path);
