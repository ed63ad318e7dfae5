// Countdown arithmetic of the automatic capture cycle, free of any window.
// The countdown is a signed 32-bit number of milliseconds. A period beyond its range
// is held at the end of the range, never wrapped round.
#pragma once
#include <cstddef>
#include <cstdint>

constexpr size_t kCountdownTitleSize = 256;

// One tick: exactly one second less, whatever time really passed; never below INT32_MIN.
int32_t CountdownAfterTick(int32_t countdown);
// A tick that leaves the countdown at 0 or below starts a cycle (unless one runs).
bool CycleDue(int32_t countdown);
// Milliseconds between two GetTickCount readings; 0 when the counter wrapped between them.
uint32_t UploadTime(uint32_t start, uint32_t end);
// The full period: timer x 1000.
int32_t CountdownForPeriod(int32_t timerSeconds);
// After a cycle: the full period less the time its upload took.
int32_t CountdownAfterCycle(int32_t timerSeconds, uint32_t uploadTime);
// Whole seconds shown in the title, truncated toward zero (999 ms gives 0, -1500 ms gives -1).
int32_t CountdownSeconds(int32_t countdown);
// "あと約%d秒で撮影 - %s" into a buffer of kCountdownTitleSize bytes, cut short if needed.
void FormatCountdownTitle(char* buffer, size_t size, int32_t countdown, const char* appTitle);
