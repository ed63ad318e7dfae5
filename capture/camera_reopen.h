// A lost camera opened again beside the window: finding the device and building its graph
// can take seconds on a real machine, and the window must go on answering meanwhile.
#pragma once
#include <windows.h>

#include <memory>

#include "video_source.h"

// One attempt, held by the window that asked and by the thread that opens the camera;
// whichever lets go last frees it, with a source nobody took.
struct ReopenAttempt;

// Starts an attempt; when it has ended, `message` is posted to `window` with the attempt
// as lParam. Null when no thread could take it.
ReopenAttempt* StartReopen(const CameraIdentity& camera, HWND window, UINT message);
// Whether the attempt has ended; then its source (null when the camera could not be
// opened) is moved to `source`.
bool TakeReopened(ReopenAttempt& attempt, std::unique_ptr<VideoSource>& source);
// The window's hold let go of; a null attempt is allowed.
void LetGoOfReopen(ReopenAttempt* attempt);
