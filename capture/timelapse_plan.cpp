// The frames of a day's timelapse.
#include "timelapse_plan.h"

#include <algorithm>
#include <cstdio>

int32_t UsableTimelapseFps(int32_t stored)
{
    return stored >= 1 && stored <= 120 ? stored : kDefaultTimelapseFps;
}

int32_t UsableTimelapseFrames(int32_t stored)
{
    return stored >= 1 ? stored : kDefaultTimelapseFrames;
}

int32_t TimelapseDay(const std::vector<DayPicture>& pictures, int32_t today)
{
    int32_t day = 0;
    for (const DayPicture& p : pictures) {
        if (p.localDate < today && p.localDate > day)
            day = p.localDate;
    }
    return day;
}

std::vector<std::string> TimelapseFrames(std::vector<DayPicture> pictures, int32_t day, int32_t maxFrames)
{
    pictures.erase(std::remove_if(pictures.begin(), pictures.end(),
                                  [day](const DayPicture& p) { return p.localDate != day; }),
                   pictures.end());
    std::sort(pictures.begin(), pictures.end(), [](const DayPicture& a, const DayPicture& b) {
        return a.writeTime != b.writeTime ? a.writeTime < b.writeTime : a.number < b.number;
    });
    const size_t count = pictures.size();
    const size_t frames = maxFrames < 1 ? 0 : std::min(count, static_cast<size_t>(maxFrames));
    std::vector<std::string> names;
    names.reserve(frames);
    for (size_t k = 0; k < frames; ++k) {
        // Frame k of `frames` takes the picture at the same share of the day's count.
        const size_t index = frames == 1 ? 0 : static_cast<size_t>(uint64_t{k} * (count - 1) / (frames - 1));
        names.push_back(pictures[index].name);
    }
    return names;
}

std::string TimelapseFileName(int32_t day)
{
    char name[40];
    snprintf(name, sizeof(name), "timelapse-%08d.avi", static_cast<int>(day));
    return name;
}

std::string TimelapsePartName(int32_t day)
{
    return TimelapseFileName(day) + ".part";
}
