// Countdown arithmetic and title text of the automatic capture cycle.
#include "countdown.h"

#include <cstdint>
#include <cstdio>

namespace {

// A period too long for the counter is held at its longest (about 24.8 days): wrapping
// round would turn a month into the next tick, or a negative period into weeks.
int32_t Saturate(int64_t value)
{
    return value > INT32_MAX ? INT32_MAX : value < INT32_MIN ? INT32_MIN : static_cast<int32_t>(value);
}

}  // namespace

// Held at the bottom of the range: a due countdown wrapping round to 24 days would stop the mode.
int32_t CountdownAfterTick(int32_t countdown)
{
    return countdown < INT32_MIN + 1000 ? INT32_MIN : countdown - 1000;
}

bool CycleDue(int32_t countdown) { return countdown <= 0; }

uint32_t UploadTime(uint32_t start, uint32_t end) { return end < start ? 0 : end - start; }

int32_t CountdownForPeriod(int32_t timerSeconds)
{
    return Saturate(int64_t{timerSeconds} * 1000);
}

int32_t CountdownAfterCycle(int32_t timerSeconds, uint32_t uploadTime)
{
    return Saturate(int64_t{CountdownForPeriod(timerSeconds)} - int64_t{uploadTime});
}

int32_t CountdownSeconds(int32_t countdown) { return countdown / 1000; }

void FormatCountdownTitle(char* buffer, size_t size, int32_t countdown, const char* appTitle)
{
    if (size == 0)
        return;
    snprintf(buffer, size, "あと約%d秒で撮影 - %s", static_cast<int>(CountdownSeconds(countdown)), appTitle);
}
