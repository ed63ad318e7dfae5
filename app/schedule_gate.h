// The hours of the day applied to the automatic mode (Win32 side: clock, settings, log, title).
#pragma once
#include <string>

// Called on every tick of the automatic mode. True while the hours of the day hold it:
// no picture is to be taken and the title says when it resumes. Logs one line when a pause
// starts and one when it ends. It keeps no deadline of its own, so a clock put back or
// forward, by hand or for daylight saving, only moves the pause; the countdown keeps counting.
bool HoldCycleForSchedule();

// While paused: when the mode goes on, as the title says it ("06:12"); empty otherwise.
const std::string& ScheduleResumeText();
