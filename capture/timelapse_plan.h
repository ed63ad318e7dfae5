// Which pictures make the timelapse of a day, free of any folder: the day to make, the
// frames in order, an even sample when there are more than the video may hold.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct DayPicture {
    std::string name;
    int32_t number;
    int32_t localDate;  // YYYYMMDD of the local day it was written
    int64_t writeTime;  // seconds since 1970, UTC
};

constexpr int32_t kDefaultTimelapseFps = 24;
constexpr int32_t kDefaultTimelapseFrames = 1440;

// The settings as they are used: a rate outside 1..120 frames a second, or a frame limit
// below 1, is the default.
int32_t UsableTimelapseFps(int32_t stored);
int32_t UsableTimelapseFrames(int32_t stored);

// The latest day before `today` that has pictures; 0 when none has.
int32_t TimelapseDay(const std::vector<DayPicture>& pictures, int32_t today);

// The pictures of that day by write time (of two in the same second, the lower number
// first); when there are more than maxFrames, an even sample of them that keeps the
// first and the last.
std::vector<std::string> TimelapseFrames(std::vector<DayPicture> pictures, int32_t day, int32_t maxFrames);

// "timelapse-YYYYMMDD.avi", and the name it is written under until it is whole.
std::string TimelapseFileName(int32_t day);
std::string TimelapsePartName(int32_t day);
