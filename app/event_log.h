// Pelmix.log: one line per event of an unattended run (start, stop, camera, failed
// uploads, skipped cycles, settings changes), in the system code page.
#pragma once
#include <cstddef>
#include <ctime>
#include <string>

// The log is cut at this size: the full file becomes the older log and a new one starts.
constexpr size_t kEventLogCap = 1024 * 1024;

// "YYYY/MM/DD HH:MM:SS text\r\n" in local time.
std::string FormatLogLine(std::time_t when, const char* text);

// Where the older log goes when the log at `path` is full: "Pelmix.log" -> "Pelmix.old.log".
std::string OlderLogPath(const std::string& path);

// Appends the line to the file. When the line would take the file past `cap` bytes, the
// file is first renamed to the older log (replacing an earlier one); if that cannot be
// done, the log starts again empty rather than grow without end. False when the line could
// not be written; nothing is retried and nothing waits.
bool AppendLogLine(const std::string& path, const std::string& line, size_t cap);

// Fixed once at start-up (a full path), so that a later change of the current folder
// does not move the log. Empty: nothing is logged.
void SetEventLogPath(const std::string& path);
const std::string& EventLogPath();

// Appends one line with the time now. A log that cannot be written is skipped: logging
// never stops the program. Only the window's thread logs.
void LogEvent(const char* text);
