// The hours of the day: which windows of local time are open, and when the next one opens.
#include "day_schedule.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "daylight.h"

namespace {

constexpr int kMinutesPerDay = 1440;
// Far enough to cross the longest polar night (about two months at 78 degrees north).
constexpr int kResumeSearchDays = 366;

// "HH:MM" (one or two digits of hour) to minutes after midnight, -1 if not a time of day.
int ParseClock(const std::string& text)
{
    int hour = 0;
    int minute = 0;
    char extra = 0;
    if (std::sscanf(text.c_str(), " %2d:%2d %c", &hour, &minute, &extra) != 2)
        return -1;
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59)
        return -1;
    return hour * 60 + minute;
}

bool ParseDegrees(const std::string& text, double limit, double* value)
{
    const char* begin = text.c_str();
    char* end = nullptr;
    const double parsed = std::strtod(begin, &end);
    while (end && (*end == ' ' || *end == '\t'))
        ++end;
    if (end == begin || !end || *end != '\0' || !std::isfinite(parsed) || std::fabs(parsed) > limit)
        return false;
    *value = parsed;
    return true;
}

// The open window of one local day, in minutes after that day's midnight; `open` false
// when the day has none. A window may reach into the day before or after.
struct Window {
    bool open;
    double from;
    double to;
};

Window WindowOfDay(const DaySchedule& schedule, int64_t day, int utcOffsetMinutes)
{
    if (schedule.kind == DaySchedule::Kind::Hours) {
        const int to = schedule.toMinute > schedule.fromMinute ? schedule.toMinute
                                                               : schedule.toMinute + kMinutesPerDay;
        return {true, static_cast<double>(schedule.fromMinute), static_cast<double>(to)};
    }
    const SunDay sun = SunriseSunset(day, schedule.latitude, schedule.longitude);
    if (sun.kind == SunDayKind::AlwaysUp)
        return {true, 0, kMinutesPerDay};
    if (sun.kind == SunDayKind::AlwaysDown)
        return {false, 0, 0};
    // The sun's times are for the UTC date; the local day starts utcOffset minutes earlier.
    const double from = sun.sunriseUtc + utcOffsetMinutes - schedule.marginMinutes;
    const double to = sun.sunsetUtc + utcOffsetMinutes + schedule.marginMinutes;
    return {to > from, from, to};
}

}  // namespace

DaySchedule ParseDaySchedule(const std::string& from, const std::string& to, const std::string& latitude,
                             const std::string& longitude, int32_t marginMinutes)
{
    DaySchedule schedule;
    if (ParseDegrees(latitude, 90.0, &schedule.latitude) && ParseDegrees(longitude, 180.0, &schedule.longitude)) {
        schedule.kind = DaySchedule::Kind::Daylight;
        // More than half a day either way means always or never; held there.
        schedule.marginMinutes = marginMinutes > 720 ? 720 : marginMinutes < -720 ? -720 : marginMinutes;
        return schedule;
    }
    schedule.fromMinute = ParseClock(from);
    schedule.toMinute = ParseClock(to);
    if (schedule.fromMinute >= 0 && schedule.toMinute >= 0 && schedule.fromMinute != schedule.toMinute)
        schedule.kind = DaySchedule::Kind::Hours;
    return schedule;
}

ScheduleVerdict EvaluateSchedule(const DaySchedule& schedule, const LocalMoment& now)
{
    if (schedule.kind == DaySchedule::Kind::Always)
        return {true, now.day, now.minute};
    // Yesterday's window may reach past midnight, tomorrow's may start before it.
    for (int64_t d = -1; d <= 1; ++d) {
        const Window w = WindowOfDay(schedule, now.day + d, now.utcOffsetMinutes);
        const double minute = now.minute - d * kMinutesPerDay;
        if (w.open && minute >= w.from && minute < w.to)
            return {true, now.day, now.minute};
    }
    for (int64_t d = 0; d <= kResumeSearchDays; ++d) {
        const Window w = WindowOfDay(schedule, now.day + d, now.utcOffsetMinutes);
        // Whole minutes, rounded up: never before the window opens.
        const int64_t start = d * kMinutesPerDay + static_cast<int64_t>(std::ceil(w.from));
        if (w.open && start > now.minute) {
            const int64_t dayShift = start / kMinutesPerDay;
            return {false, now.day + dayShift, static_cast<int>(start - dayShift * kMinutesPerDay)};
        }
    }
    return {false, -1, 0};
}

std::string ResumeText(const ScheduleVerdict& verdict, const LocalMoment& now)
{
    char text[32];
    if (verdict.resumeDay < 0) {
        snprintf(text, sizeof(text), "未定");
    } else if (verdict.resumeDay <= now.day + 1) {
        snprintf(text, sizeof(text), "%02d:%02d", verdict.resumeMinute / 60, verdict.resumeMinute % 60);
    } else {
        int year = 0;
        int month = 0;
        int day = 0;
        CivilFromDays(verdict.resumeDay, &year, &month, &day);
        snprintf(text, sizeof(text), "%d/%d %02d:%02d", month, day, verdict.resumeMinute / 60,
                 verdict.resumeMinute % 60);
    }
    return text;
}

void FormatPauseTitle(char* buffer, size_t size, const ScheduleVerdict& verdict, const LocalMoment& now,
                      const char* appTitle)
{
    if (size == 0)
        return;
    if (verdict.resumeDay < 0)
        snprintf(buffer, size, "撮影休止中 - %s", appTitle);
    else
        snprintf(buffer, size, "撮影休止中 (%s に再開) - %s", ResumeText(verdict, now).c_str(), appTitle);
}
