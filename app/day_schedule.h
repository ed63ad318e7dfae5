// The hours of the day in which the automatic mode takes pictures: a fixed window of local
// time (active_from/active_to) or daylight at a place (latitude/longitude/sun_margin).
// Free of any window and of the clock: the caller passes the local time it reads.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

struct DaySchedule {
    enum class Kind { Always, Hours, Daylight } kind = Kind::Always;
    int fromMinute = 0;  // Hours: local minutes after midnight; the window may cross midnight
    int toMinute = 0;
    double latitude = 0;  // Daylight: degrees, north and east positive
    double longitude = 0;
    int marginMinutes = 0;  // before sunrise and after sunset
};

// From the text of the keys. Daylight needs both coordinates; a value that cannot be read
// (a latitude past 90, "25:00", "abc") leaves that kind unset, so the mode runs all day as
// without the keys. Equal from and to is no limit either.
DaySchedule ParseDaySchedule(const std::string& from, const std::string& to, const std::string& latitude,
                             const std::string& longitude, int32_t marginMinutes);

struct LocalMoment {
    int64_t day;  // days since 1970-01-01 of the local date
    int minute;   // local minutes after midnight, 0..1439
    int utcOffsetMinutes;  // local time minus UTC now (daylight saving included)
};

struct ScheduleVerdict {
    bool active;
    // When paused: the local date and minute at which pictures start again; day -1 when
    // they never do within a year (no window on any day, such as a margin of -12 hours).
    int64_t resumeDay;
    int resumeMinute;
};

ScheduleVerdict EvaluateSchedule(const DaySchedule& schedule, const LocalMoment& now);

// "撮影休止中 (06:12 に再開) - Pelmix"; the date is named when the resume is not today or
// tomorrow ("撮影休止中 (1/15 10:53 に再開) - Pelmix"), and left out when it is not known.
void FormatPauseTitle(char* buffer, size_t size, const ScheduleVerdict& verdict, const LocalMoment& now,
                      const char* appTitle);
// The same resume time as the title shows it ("06:12", "1/15 10:53", or "未定").
std::string ResumeText(const ScheduleVerdict& verdict, const LocalMoment& now);
