// The event log on the standard C file calls, so that the same code runs in every tree.
#include "event_log.h"

#include <cstdio>

namespace {

std::string g_logPath;

// A line break inside a text (a server's reply has them) would start a false line.
void FlattenLine(char* text)
{
    for (char* p = text; *p; ++p) {
        if (*p == '\r' || *p == '\n')
            *p = ' ';
    }
}

long FileSize(const std::string& path)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return 0;
    long size = -1;
    if (std::fseek(file, 0, SEEK_END) == 0)
        size = std::ftell(file);
    std::fclose(file);
    return size < 0 ? 0 : size;
}

}  // namespace

std::string FormatLogLine(std::time_t when, const char* text)
{
    char stamp[32] = "0000/00/00 00:00:00";
    const std::tm* local = std::localtime(&when);
    if (local && std::strftime(stamp, sizeof(stamp), "%Y/%m/%d %H:%M:%S", local) == 0)
        stamp[0] = '\0';
    char body[512];
    std::snprintf(body, sizeof(body), "%s", text ? text : "");
    FlattenLine(body);
    return std::string(stamp) + " " + body + "\r\n";
}

std::string OlderLogPath(const std::string& path)
{
    const size_t slash = path.find_last_of("\\/:");
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return path + ".old";
    return path.substr(0, dot) + ".old" + path.substr(dot);
}

bool AppendLogLine(const std::string& path, const std::string& line, size_t cap)
{
    if (path.empty())
        return false;
    const long size = FileSize(path);
    const char* mode = "ab";
    if (size > 0 && static_cast<size_t>(size) + line.size() > cap) {
        // rename() on Windows does not replace a file: the older log goes first.
        const std::string older = OlderLogPath(path);
        std::remove(older.c_str());
        if (std::rename(path.c_str(), older.c_str()) != 0)
            mode = "wb";
    }
    std::FILE* file = std::fopen(path.c_str(), mode);
    if (!file)
        return false;
    const bool written = std::fwrite(line.data(), 1, line.size(), file) == line.size();
    return std::fclose(file) == 0 && written;
}

void SetEventLogPath(const std::string& path) { g_logPath = path; }

const std::string& EventLogPath() { return g_logPath; }

void LogEvent(const char* text)
{
    if (g_logPath.empty())
        return;
    AppendLogLine(g_logPath, FormatLogLine(std::time(nullptr), text), kEventLogCap);
}

