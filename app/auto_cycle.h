// The automatic mode: every `timer` seconds a captioned JPEG, then an upload.
#pragma once

void OnAutoCommand();   // menu command 32774: switch the mode on or off
void OnCycleTick();     // WM_TIMER
