// The hours of the day between the clock, the settings and the automatic mode.
#include "schedule_gate.h"

#include <windows.h>

#include <string>

#include "app_state.h"
#include "day_schedule.h"
#include "daylight.h"
#include "event_log.h"
#include "settings_store.h"

namespace {

bool g_schedulePaused = false;
std::string g_resumeText;  // while paused: when the hours of the day let the mode go on

int64_t FileTimeTicks(const FILETIME& time)
{
    return static_cast<int64_t>((static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
}

// Local date, minute and offset from one reading of the clock.
LocalMoment LocalNow()
{
    FILETIME utc;
    FILETIME local;
    SYSTEMTIME parts = {};
    GetSystemTimeAsFileTime(&utc);
    if (!FileTimeToLocalFileTime(&utc, &local))
        local = utc;
    FileTimeToSystemTime(&local, &parts);
    const int offset = static_cast<int>((FileTimeTicks(local) - FileTimeTicks(utc)) / 600000000LL);
    return {DaysFromCivil(parts.wYear, parts.wMonth, parts.wDay), parts.wHour * 60 + parts.wMinute, offset};
}

DaySchedule ReadDaySchedule()
{
    return ParseDaySchedule(ReadSetting(Setting::activeFrom), ReadSetting(Setting::activeTo),
                            ReadSetting(Setting::latitude), ReadSetting(Setting::longitude),
                            ReadSetting(Setting::sunMargin));
}

}  // namespace

bool HoldCycleForSchedule()
{
    const DaySchedule schedule = ReadDaySchedule();
    const LocalMoment now = LocalNow();
    const ScheduleVerdict verdict = EvaluateSchedule(schedule, now);
    if (verdict.active) {
        if (g_schedulePaused)
            LogEvent("撮影を再開します (撮影する時間帯になりました)");
        g_schedulePaused = false;
        g_resumeText.clear();
        return false;
    }
    g_resumeText = ResumeText(verdict, now);
    if (!g_schedulePaused) {
        const std::string line = "撮影を休止します (撮影する時間帯の外です; " + g_resumeText + " に再開)";
        LogEvent(line.c_str());
    }
    g_schedulePaused = true;
    char title[256];
    FormatPauseTitle(title, sizeof(title), verdict, now, g_appTitle);
    SetWindowTextA(g_mainWindow, title);
    return true;
}

const std::string& ScheduleResumeText()
{
    return g_resumeText;
}
