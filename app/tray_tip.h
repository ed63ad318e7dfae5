// The tooltip of the notification-area icon, free of any window: what is known in, the
// text the shell shows out.
#pragma once
#include <cstddef>
#include <string>

// The shell's tooltip buffer holds 127 bytes and the terminating zero.
constexpr size_t kTrayTipBytes = 127;

enum class NextCycle {
    ModeOff,       // the automatic mode is off
    CountingDown,  // nextText: the clock time of the next cycle
    Busy,          // a cycle runs
    Paused,        // the hours of the day hold it; nextText: when it resumes
};

struct TrayStatus {
    std::string saveTime;  // clock time of the last save; empty before the first
    std::string saveName;  // the picture it made; empty when it made none
    std::string uploadTime;  // clock time of the last upload's end; empty before the first
    bool uploadFailed = false;
    NextCycle next = NextCycle::ModeOff;
    std::string nextText;
};

// One line each for the last save, the last upload and the next cycle, cut to
// kTrayTipBytes without splitting a double-byte character of code page 932.
std::string TrayTipText(const TrayStatus& status);
