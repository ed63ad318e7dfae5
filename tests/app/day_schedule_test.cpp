// The hours of the day: sunrise and sunset against published tables, and the verdicts of
// the automatic mode around them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "day_schedule.h"
#include "daylight.h"

namespace {

// Published local times: NAOJ (国立天文台暦計算室) for the Japanese cities (JST), and for
// Tromsø (CET) the midnight sun and the polar night, where -1 stands for "no sunrise/sunset".
struct SunCase {
    const char* place;
    double latitude;
    double longitude;
    int utcOffset;
    int year, month, day;
    int sunrise;  // local minutes; -1 polar day or night
    int sunset;
    SunDayKind kind;
};

constexpr int HM(int h, int m) { return h * 60 + m; }

const SunCase kSunCases[] = {
    {"Tokyo", 35.6581, 139.7414, 540, 2026, 6, 21, HM(4, 25), HM(19, 0), SunDayKind::RisesAndSets},
    {"Tokyo", 35.6581, 139.7414, 540, 2026, 12, 21, HM(6, 47), HM(16, 32), SunDayKind::RisesAndSets},
    {"Sapporo", 43.0642, 141.3469, 540, 2026, 6, 21, HM(3, 55), HM(19, 18), SunDayKind::RisesAndSets},
    {"Sapporo", 43.0642, 141.3469, 540, 2026, 12, 21, HM(7, 3), HM(16, 3), SunDayKind::RisesAndSets},
    {"Naha", 26.2125, 127.6811, 540, 2026, 6, 21, HM(5, 38), HM(19, 25), SunDayKind::RisesAndSets},
    {"Naha", 26.2125, 127.6811, 540, 2026, 12, 21, HM(7, 13), HM(17, 43), SunDayKind::RisesAndSets},
    {"Tromso", 69.6496, 18.9560, 120, 2026, 6, 21, -1, -1, SunDayKind::AlwaysUp},
    {"Tromso", 69.6496, 18.9560, 60, 2026, 12, 21, -1, -1, SunDayKind::AlwaysDown},
};

LocalMoment At(const SunCase& c, int minute)
{
    return {DaysFromCivil(c.year, c.month, c.day), minute, c.utcOffset};
}

std::string Title(const ScheduleVerdict& verdict, const LocalMoment& now)
{
    char title[256];
    FormatPauseTitle(title, sizeof(title), verdict, now, "Pelmix");
    return title;
}

TEST(DaySchedule, DaylightFollowsPublishedSunriseAndSunset)
{
    const int margin = 30;
    for (const SunCase& c : kSunCases) {
        SCOPED_TRACE(std::string(c.place) + " " + std::to_string(c.month));
        const SunDay sun = SunriseSunset(DaysFromCivil(c.year, c.month, c.day), c.latitude, c.longitude);
        ASSERT_EQ(sun.kind, c.kind);
        const DaySchedule schedule = ParseDaySchedule("", "", std::to_string(c.latitude),
                                                      " " + std::to_string(c.longitude), margin);
        ASSERT_EQ(schedule.kind, DaySchedule::Kind::Daylight);
        if (c.kind != SunDayKind::RisesAndSets) {
            const bool up = c.kind == SunDayKind::AlwaysUp;
            for (int minute : {0, HM(12, 0), HM(23, 59)})
                EXPECT_EQ(EvaluateSchedule(schedule, At(c, minute)).active, up);
            continue;
        }
        EXPECT_NEAR(sun.sunriseUtc + c.utcOffset, c.sunrise, 2.0);
        EXPECT_NEAR(sun.sunsetUtc + c.utcOffset, c.sunset, 2.0);
        // Three minutes either side of each edge of the window is past any rounding.
        const int opens = c.sunrise - margin;
        const int closes = c.sunset + margin;
        EXPECT_FALSE(EvaluateSchedule(schedule, At(c, opens - 3)).active);
        EXPECT_TRUE(EvaluateSchedule(schedule, At(c, opens + 3)).active);
        EXPECT_TRUE(EvaluateSchedule(schedule, At(c, closes - 3)).active);
        const ScheduleVerdict night = EvaluateSchedule(schedule, At(c, closes + 3));
        EXPECT_FALSE(night.active);
        // After dark it resumes with tomorrow's window, named by its time only.
        EXPECT_EQ(night.resumeDay, At(c, 0).day + 1);
        EXPECT_NEAR(night.resumeMinute, opens, 3);
        EXPECT_EQ(Title(night, At(c, closes + 3)).find("撮影休止中 ("), 0u);
    }
}

TEST(DaySchedule, PolarNightResumesOnTheDateTheSunReturns)
{
    // Tromsø: the first sunrise after the polar night is on 15 January, about 11:40 CET.
    const DaySchedule schedule = ParseDaySchedule("", "", "69.6496", "18.9560", 0);
    const LocalMoment now{DaysFromCivil(2026, 12, 21), HM(12, 0), 60};
    const ScheduleVerdict verdict = EvaluateSchedule(schedule, now);
    EXPECT_FALSE(verdict.active);
    int year = 0, month = 0, day = 0;
    CivilFromDays(verdict.resumeDay, &year, &month, &day);
    EXPECT_EQ(year * 10000 + month * 100 + day, 20270115);
    EXPECT_EQ(Title(verdict, now).substr(0, std::strlen("撮影休止中 (1/15 11:")), "撮影休止中 (1/15 11:");
}

// A fixed window of local hours, also over midnight; a key that cannot be read is no limit.
TEST(DaySchedule, FixedHoursAndUnreadableKeys)
{
    struct HoursCase {
        const char* from;
        const char* to;
        int minute;
        bool active;
        const char* title;  // when paused
    };
    const HoursCase cases[] = {
        {"06:00", "18:30", HM(5, 59), false, "撮影休止中 (06:00 に再開) - Pelmix"},
        {"06:00", "18:30", HM(6, 0), true, ""},
        {"06:00", "18:30", HM(18, 30), false, "撮影休止中 (06:00 に再開) - Pelmix"},
        {"22:00", "5:00", HM(23, 0), true, ""},
        {"22:00", "5:00", HM(4, 59), true, ""},
        {"22:00", "5:00", HM(12, 0), false, "撮影休止中 (22:00 に再開) - Pelmix"},
        {"07:00", "07:00", HM(3, 0), true, ""},
        {"25:00", "05:00", HM(12, 0), true, ""},
        {"6時", "18:00", HM(3, 0), true, ""},
        {"", "", HM(3, 0), true, ""},
    };
    const LocalMoment day{DaysFromCivil(2026, 3, 29), 0, 60};
    for (const HoursCase& c : cases) {
        SCOPED_TRACE(std::string(c.from) + "-" + c.to + " at " + std::to_string(c.minute));
        const LocalMoment now{day.day, c.minute, day.utcOffsetMinutes};
        const ScheduleVerdict verdict = EvaluateSchedule(ParseDaySchedule(c.from, c.to, "", "", 0), now);
        EXPECT_EQ(verdict.active, c.active);
        if (!c.active) {
            EXPECT_EQ(Title(verdict, now), c.title);
        }
    }
    // A latitude past the pole is no place: the hours apply instead.
    EXPECT_EQ(ParseDaySchedule("06:00", "18:00", "91", "0", 0).kind, DaySchedule::Kind::Hours);
    EXPECT_EQ(ParseDaySchedule("", "", "35.6", "east", 0).kind, DaySchedule::Kind::Always);
}

}  // namespace
