// The daily timelapse: a day's numbered JPEGs, as they are, as the frames of a
// Motion-JPEG AVI beside them, written through the platform's AVIFile functions.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// Everything the maker needs, copied on the window's thread: it runs on a thread of its own.
struct TimelapseJob {
    std::string imageFolder;  // full: ImageFolderPath
    std::string prefix;
    int32_t fps = 24;
    int32_t maxFrames = 1440;
    int32_t today = 0;  // YYYYMMDD, local
};

enum class TimelapseResult {
    Made,
    NothingToMake,  // no day before today with pictures, or its video is already there
    Failed,
};

struct TimelapseOutcome {
    TimelapseResult result = TimelapseResult::NothingToMake;
    int32_t day = 0;
    std::string name;  // the prefix's folder part and timelapse-YYYYMMDD.avi, as a picture's name is
    size_t frames = 0;
    std::string why;  // with Failed
};

// Makes the video of the latest day before job.today that has JPEG pictures, unless it
// exists, in the folder of those pictures. It is written under a name of its own and
// renamed when whole; a failure leaves neither file. A picture that is no readable JPEG, or not of the first one's size, is left out.
TimelapseOutcome MakeDailyTimelapse(const TimelapseJob& job);

// The frames, in order, into a new Motion-JPEG AVI at `path`. False with the reason when
// not every step succeeded (the file may then be partly written).
bool WriteMjpegAvi(const std::string& path, const std::vector<std::string>& jpegPaths, int32_t fps,
                   size_t* framesWritten, std::string* why);

// YYYYMMDD of the local day a file time (UTC) falls on, by the time zone's rules of that day.
int32_t LocalDateOf(const FILETIME& utc);
