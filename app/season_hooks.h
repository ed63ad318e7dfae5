// What the automatic mode does for a season unattended, besides the hours of the day:
// free space before each save, and the daily timelapse.
#pragma once

// keep_free_mb before an automatic save: the oldest pictures go until the drive has that
// much free (one log line per run of deletions). False when it cannot be had: the cycle
// then saves and uploads nothing, and the log says so once until a save goes again.
bool MakeRoomForAutomaticSave();

// Called on every tick of the automatic mode, paused or not. With timelapse=1, the first
// tick of a new local day starts the video of the latest earlier day on a thread of its
// own; a later tick finds it done, logs it and, with timelapse_upload=1, uploads it once.
void CheckDailyTimelapse();
