// What the command line may ask for at launch.
#pragma once

// True when one of the words of the command line is "/auto" (or "-auto"), in any case,
// with or without quotes around it.
bool HasAutoSwitch(const char* commandLine);
