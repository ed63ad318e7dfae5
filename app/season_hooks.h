// What the automatic mode does for a season unattended, besides the hours of the day:
// free space before each save, and the daily timelapse.
#pragma once

#include <string>

// keep_free_mb before an automatic save: the oldest pictures go until the drive has that
// much free (one log line per run of deletions). Empty when the save may go; else the
// line for a cycle that saves and uploads nothing, the same for every such cycle.
std::string MakeRoomForAutomaticSave();

// Called on every tick of the automatic mode, paused or not. With timelapse=1, the first
// tick of a new local day starts the video of the latest earlier day on a thread of its
// own; a later tick finds it done, logs it and, with timelapse_upload=1, starts its upload
// once, beside the window, as soon as no picture's upload runs.
void CheckDailyTimelapse();

// True from the start of the video's upload until its end has been handled.
bool TimelapseUploadRunning();
// WM_PELMIX_UPLOAD_ENDED: when the upload that ended was the video's, logs how it ended
// and returns true; the picture's title, countdown and cycle are not touched then.
bool OnTimelapseUploadEnded();
