// The countdown of the automatic mode: what each tick shows and which tick fires.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "countdown.h"

namespace {

struct TickRun {
    std::vector<int32_t> shown;  // seconds in the title on each tick after the cycle
    int firingTick = 0;          // 1-based; 0 when none fired within the limit
};

// The ticks after a cycle, until the next one fires.
TickRun TicksAfterCycle(int32_t timerSeconds, uint32_t uploadTime, int limit = 1000)
{
    TickRun run;
    int32_t countdown = CountdownAfterCycle(timerSeconds, uploadTime);
    for (int tick = 1; tick <= limit; ++tick) {
        countdown = CountdownAfterTick(countdown);
        if (CycleDue(countdown)) {
            run.firingTick = tick;
            break;
        }
        run.shown.push_back(CountdownSeconds(countdown));
    }
    return run;
}

std::vector<int32_t> Descending(int32_t from, int32_t to)
{
    std::vector<int32_t> values;
    for (int32_t v = from; v >= to; --v)
        values.push_back(v);
    return values;
}

std::string Title(int32_t countdown, const char* appTitle = "Pelmix")
{
    char buffer[kCountdownTitleSize];
    FormatCountdownTitle(buffer, sizeof(buffer), countdown, appTitle);
    return buffer;
}

}  // namespace

// The ticks after a cycle: what the title counts and which tick fires the next one. An
// upload shortens the period; a timer of zero or less fires on every tick, and so does an
// upload longer than the period.
TEST(CountdownPeriod, TheUploadShortensThePeriodAndTheTitleCountsDown)
{
    const struct { int32_t timer; uint32_t upload; int32_t after; std::vector<int32_t> shown; int firing; } runs[] = {
        {60, 0, 60000, Descending(59, 1), 60},
        {60, 1500, 58500, Descending(57, 0), 59},
        {0, 0, 0, {}, 1},
        {-5, 0, -5000, {}, 1},
        {INT_MIN / 1000, 0, CountdownForPeriod(INT_MIN / 1000), {}, 1},
        {2, 5000, -3000, {}, 1},
    };
    for (const auto& r : runs) {
        SCOPED_TRACE(std::to_string(r.timer) + " s, upload " + std::to_string(r.upload) + " ms");
        EXPECT_EQ(CountdownAfterCycle(r.timer, r.upload), r.after);
        const TickRun run = TicksAfterCycle(r.timer, r.upload);
        EXPECT_EQ(run.shown, r.shown);
        EXPECT_EQ(run.firingTick, r.firing);
    }
    EXPECT_EQ(CountdownSeconds(CountdownAfterCycle(60, 0)), 60);
}

TEST(CountdownPeriod, TheTickStartingAtOneSecondOrLessFiresAndADueOneStaysDue)
{
    EXPECT_TRUE(CycleDue(CountdownAfterTick(1000)));
    EXPECT_TRUE(CycleDue(CountdownAfterTick(0)));
    EXPECT_FALSE(CycleDue(CountdownAfterTick(1001)));
    // A due countdown stays due at the bottom of the range.
    EXPECT_EQ(CountdownAfterTick(INT_MIN + 1000), INT_MIN);
    EXPECT_EQ(CountdownAfterTick(INT_MIN + 999), INT_MIN);
    EXPECT_EQ(CountdownAfterTick(INT_MIN), INT_MIN);
}

TEST(CountdownPeriod, PeriodsBeyondTheCounterAreHeldAtItsEnds)
{
    // A month stays the longest wait, never the next tick; a hugely negative period
    // stays due at once, never weeks away.
    EXPECT_EQ(CountdownForPeriod(2147483), 2147483000);
    EXPECT_EQ(CountdownForPeriod(2147484), INT_MAX);
    EXPECT_EQ(CountdownForPeriod(3000000), INT_MAX);
    EXPECT_EQ(CountdownForPeriod(INT_MAX), INT_MAX);
    EXPECT_EQ(CountdownForPeriod(INT_MIN), INT_MIN);
    EXPECT_EQ(CountdownAfterCycle(3000000, 1500), INT_MAX - 1500);
    EXPECT_EQ(CountdownAfterCycle(-2147483, 4000000000u), INT_MIN);
    EXPECT_EQ(CountdownAfterCycle(0, 4000000000u), INT_MIN);
    EXPECT_FALSE(CycleDue(CountdownAfterTick(CountdownAfterCycle(3000000, 0))));
}


TEST(UploadTime, IsTheDifferenceOfTheTwoTickCountsOrZero)
{
    EXPECT_EQ(UploadTime(100, 1600), 1500u);
    EXPECT_EQ(UploadTime(5000, 5000), 0u);
    EXPECT_EQ(UploadTime(0, 0xFFFFFFFFu), 0xFFFFFFFFu);
    // A wrapped tick count gives zero.
    EXPECT_EQ(UploadTime(0xFFFFFF00u, 0x100u), 0u);
    EXPECT_EQ(CountdownAfterCycle(60, UploadTime(0xFFFFFF00u, 0x100u)), 60000);
}

// Whole seconds, cut toward zero, before the application title.
TEST(CountdownTitle, ShowsTheWholeSecondsAndTheApplicationTitle)
{
    const struct { int32_t countdown, seconds; } cases[] = {
        {58500, 58}, {999, 0}, {-999, 0}, {0, 0}, {1000, 1}, {-1000, -1}, {-1500, -1}, {-2000, -2}, {INT_MIN, -2147483},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CountdownSeconds(c.countdown), c.seconds) << c.countdown;
        EXPECT_EQ(Title(c.countdown), "あと約" + std::to_string(c.seconds) + "秒で撮影 - Pelmix");
    }
}

TEST(CountdownTitle, ALongTitleIsCutAtTheBufferEnd)
{
    const std::string longTitle(400, 'x');
    const std::string title = Title(60000, longTitle.c_str());
    EXPECT_EQ(title.size(), kCountdownTitleSize - 1);
    EXPECT_EQ(title.substr(0, std::strlen("あと約60秒で撮影 - x")), "あと約60秒で撮影 - x");

    char small[8];
    std::memset(small, '#', sizeof(small));
    FormatCountdownTitle(small, sizeof(small), 60000, "Pelmix");
    EXPECT_EQ(std::strlen(small), sizeof(small) - 1);
}
