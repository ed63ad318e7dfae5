// The automatic mode: every `timer` seconds a captioned JPEG, then an upload.
#pragma once

#include <windows.h>

void OnAutoCommand();   // menu command 32774: switch the mode on or off
void OnCycleTick();     // WM_TIMER
// After an upload has ended: a cycle that waited for it ends, its countdown less the
// upload's time, and the timer runs again.
void OnCycleUploadEnded();

// At launch, once the main window exists: the mode starts when the command line asked
// for it or auto_start=1 is stored; with the key, the upload and backup switches are set
// as stored. Without either, nothing changes.
void ResumeAutoAtLaunch(bool askedOnCommandLine);
// Menu command 32790: toggles auto_start; turning it on also stores the two switches.
void OnAutoStartCommand();
// The upload (32777) or backup (32780) switch was toggled to `on`: stored while the
// automatic mode is to start at launch, so that it starts as it was left.
void RememberAutoSwitch(UINT itemId, bool on);
