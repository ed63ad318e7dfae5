// A window probe for the end-to-end tests: runs inside the same Wine session as
// pelmix.exe and answers one line per command read from stdin, so a Python test
// can look at windows, menus and dialogs and send them messages.
//
//   find CLASS                 -> hwnd of the first top-level window of CLASS, or 0
//   wait CLASS MS              -> as find, waiting up to MS milliseconds
//   iswindow HWND              -> 1 or 0
//   title HWND                 -> the window text (ANSI bytes)
//   class HWND                 -> the class name
//   send HWND MSG WPARAM LPARAM-> SendMessageA result
//   post HWND MSG WPARAM LPARAM-> 1 or 0
//   answers HWND MS            -> 1 when the window answers WM_NULL within MS milliseconds, else 0
//   command HWND ID            -> SendMessageA(WM_COMMAND, ID) result
//   menustate HWND ID          -> GetMenuState(GetMenu(HWND), ID, MF_BYCOMMAND)
//   child HWND                 -> "hwnd x y width height" of the first child, or 0
//   client HWND                -> "width height" of the client area
//   owned HWND                 -> "hwnd class" of each visible window owned by HWND, ';'-separated
//   dlgtext DLG ID             -> the text of a dialog item, a line break as a tab
//   setdlgtext DLG ID TEXT     -> 1 or 0
//   foreground HWND            -> 1 or 0
//   pid HWND                   -> process id of the window
//   screen HWND                -> "x y width height" of the client area in screen coordinates
//   setpos HWND X Y W H        -> SetWindowPos (size and place) result, 1 or 0
//   show HWND CMD              -> ShowWindow result
//   syscolor INDEX             -> GetSysColor as "RRGGBB"
//   version NAME FILE          -> the version resource's string NAME (Japanese block) of FILE,
//                                 or with NAME "\\" the fixed file version "a.b.c.d"; "" if none
//   resources PID              -> "gdi user workingset private handles threads" of a process:
//                                 GDI and USER objects, memory in bytes, kernel handles, threads
//   quit
#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>
#include <winternl.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "win_handles.h"

namespace {

HWND ToWindow(const char* text) { return reinterpret_cast<HWND>(static_cast<uintptr_t>(strtoull(text, nullptr, 0))); }
long ToLong(const char* text) { return strtol(text, nullptr, 0); }

struct OwnedSearch {
    HWND owner;
    char out[2048];
};

BOOL CALLBACK CollectOwned(HWND window, LPARAM param)
{
    auto* search = reinterpret_cast<OwnedSearch*>(param);
    if (GetWindow(window, GW_OWNER) != search->owner || !IsWindowVisible(window))
        return TRUE;
    char className[64] = "";
    GetClassNameA(window, className, sizeof(className));
    size_t used = strlen(search->out);
    snprintf(search->out + used, sizeof(search->out) - used, "%s%llu %s", used ? ";" : "",
             static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(window)), className);
    return TRUE;
}

void Reply(const char* text)
{
    fputs(text, stdout);
    fputc('\n', stdout);
    fflush(stdout);
}

void ReplyNumber(unsigned long long value)
{
    char text[32];
    snprintf(text, sizeof(text), "%llu", value);
    Reply(text);
}

HWND FindTopLevel(const char* className) { return FindWindowA(className, nullptr); }

// What Explorer's Properties read: the version resource through the system's own reader.
void ReplyVersion(const char* name, const char* file)
{
    static char data[16384];
    void* value = nullptr;
    UINT size = 0;
    char query[128];
    snprintf(query, sizeof(query), "\\StringFileInfo\\041104B0\\%s", name);
    const bool isFixed = !strcmp(name, "\\");
    if (!GetFileVersionInfoA(file, 0, sizeof(data), data) || !VerQueryValueA(data, isFixed ? "\\" : query, &value, &size)) {
        Reply("");
        return;
    }
    if (!isFixed) {
        Reply(static_cast<const char*>(value));
        return;
    }
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
    char text[64];
    snprintf(text, sizeof(text), "%lu.%lu.%lu.%lu", fixed->dwFileVersionMS >> 16, fixed->dwFileVersionMS & 0xFFFF,
             fixed->dwFileVersionLS >> 16, fixed->dwFileVersionLS & 0xFFFF);
    Reply(text);
}

// Resource counts for the soak. Wine answers GetGuiResources and GetProcessHandleCount
// with 0, so each count has a fallback that works there: the process's own GDI handle
// table (its PEB points at it; Wine's entries are 24 bytes with the type at byte 14),
// its windows for the USER objects, and the system handle list for kernel handles.
struct WindowCount {
    DWORD pid;
    unsigned long count;
};

BOOL CALLBACK CountWindow(HWND window, LPARAM param)
{
    auto* counter = reinterpret_cast<WindowCount*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == counter->pid) {
        ++counter->count;
        EnumChildWindows(window, CountWindow, param);
    }
    return TRUE;
}

unsigned long CountGdiTable(HANDLE process)
{
    PROCESS_BASIC_INFORMATION basic = {};
    ULONG length = 0;
    if (NtQueryInformationProcess(process, ProcessBasicInformation, &basic, sizeof(basic), &length) != 0)
        return 0;
    // PEB's GdiSharedHandleTable, a pointer of the process's own width.
#ifdef _WIN64
    const size_t kTableAt = 0xF8;
#else
    const size_t kTableAt = 0x94;
#endif
    const void* table = nullptr;
    SIZE_T read = 0;
    if (!ReadProcessMemory(process, reinterpret_cast<const uint8_t*>(basic.PebBaseAddress) + kTableAt, &table,
                           sizeof(table), &read) || !table)
        return 0;
    const size_t kEntries = 0x10000, kEntrySize = 24, kTypeOffset = 14;
    static uint8_t entries[kEntries * kEntrySize];
    if (!ReadProcessMemory(process, table, entries,
                           sizeof(entries), &read))
        return 0;
    unsigned long count = 0;
    for (size_t i = 0; i < kEntries; ++i)
        count += entries[i * kEntrySize + kTypeOffset] != 0;
    return count;
}

unsigned long CountKernelHandles(DWORD pid)
{
    struct Entry { ULONG pid; UCHAR type; UCHAR flags; USHORT handle; PVOID object; ACCESS_MASK access; };
    static uint8_t buffer[8 << 20];
    ULONG length = 0;
    if (NtQuerySystemInformation(static_cast<SYSTEM_INFORMATION_CLASS>(16), buffer, sizeof(buffer), &length) != 0)
        return 0;
    const ULONG total = *reinterpret_cast<const ULONG*>(buffer);
    const auto* entry = reinterpret_cast<const Entry*>(buffer + sizeof(void*));
    unsigned long count = 0;
    for (ULONG i = 0; i < total && reinterpret_cast<const uint8_t*>(entry + i + 1) <= buffer + sizeof(buffer); ++i)
        count += entry[i].pid == pid;
    return count;
}

unsigned long CountThreads(DWORD pid)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return 0;
    unsigned long count = 0;
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        count += entry.th32OwnerProcessID == pid;
    CloseHandle(snapshot);
    return count;
}

void ReplyResources(DWORD pid)
{
    const KernelHandle opened(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid));
    const HANDLE process = opened.get();
    if (!process) {
        Reply("0");
        return;
    }
    PROCESS_MEMORY_COUNTERS memory = {};
    memory.cb = sizeof(memory);
    GetProcessMemoryInfo(process, &memory, sizeof(memory));
    unsigned long gdi = GetGuiResources(process, GR_GDIOBJECTS);
    if (!gdi)
        gdi = CountGdiTable(process);
    unsigned long user = GetGuiResources(process, GR_USEROBJECTS);
    if (!user) {
        WindowCount windows = {pid, 0};
        EnumWindows(CountWindow, reinterpret_cast<LPARAM>(&windows));
        user = windows.count;
    }
    DWORD handles = 0;
    if (!GetProcessHandleCount(process, &handles) || !handles)
        handles = CountKernelHandles(pid);
    char text[160];
    snprintf(text, sizeof(text), "%lu %lu %lu %lu %lu %lu", gdi, user, static_cast<unsigned long>(memory.WorkingSetSize),
             static_cast<unsigned long>(memory.PagefileUsage), static_cast<unsigned long>(handles), CountThreads(pid));
    Reply(text);
}

}  // namespace

int main()
{
    char line[1024];
    while (fgets(line, sizeof(line), stdin)) {
        line[strcspn(line, "\r\n")] = 0;
        char* args[6] = {};
        int count = 0;
        char* rest = line;
        // The last argument of setdlgtext may hold spaces: split at most four times.
        while (count < 4 && rest) {
            args[count++] = rest;
            char* space = strchr(rest, ' ');
            if (!space) { rest = nullptr; break; }
            *space = 0;
            rest = space + 1;
        }
        if (rest) args[count++] = rest;
        if (count == 0) continue;
        const char* cmd = args[0];
        auto arg = [&](int i) { return i < count && args[i] ? args[i] : ""; };

        if (!strcmp(cmd, "quit")) {
            Reply("bye");
            break;
        } else if (!strcmp(cmd, "find")) {
            ReplyNumber(reinterpret_cast<uintptr_t>(FindTopLevel(arg(1))));
        } else if (!strcmp(cmd, "wait")) {
            DWORD deadline = GetTickCount() + static_cast<DWORD>(ToLong(arg(2)));
            HWND found = nullptr;
            while (!(found = FindTopLevel(arg(1))) && static_cast<long>(deadline - GetTickCount()) > 0)
                Sleep(50);
            ReplyNumber(reinterpret_cast<uintptr_t>(found));
        } else if (!strcmp(cmd, "iswindow")) {
            ReplyNumber(IsWindow(ToWindow(arg(1))) ? 1 : 0);
        } else if (!strcmp(cmd, "title")) {
            char text[512] = "";
            GetWindowTextA(ToWindow(arg(1)), text, sizeof(text));
            Reply(text);
        } else if (!strcmp(cmd, "class")) {
            char text[256] = "";
            GetClassNameA(ToWindow(arg(1)), text, sizeof(text));
            Reply(text);
        } else if (!strcmp(cmd, "send") || !strcmp(cmd, "post")) {
            HWND window = ToWindow(arg(1));
            UINT message = static_cast<UINT>(ToLong(arg(2)));
            WPARAM wParam = static_cast<WPARAM>(ToLong(arg(3)));
            LPARAM lParam = static_cast<LPARAM>(ToLong(arg(4)));
            if (cmd[0] == 's')
                ReplyNumber(static_cast<unsigned long long>(SendMessageA(window, message, wParam, lParam)));
            else
                ReplyNumber(PostMessageA(window, message, wParam, lParam) ? 1 : 0);
        } else if (!strcmp(cmd, "answers")) {
            DWORD_PTR result = 0;
            ReplyNumber(SendMessageTimeoutA(ToWindow(arg(1)), WM_NULL, 0, 0, SMTO_NORMAL,
                                            static_cast<UINT>(ToLong(arg(2))), &result) ? 1 : 0);
        } else if (!strcmp(cmd, "command")) {
            ReplyNumber(static_cast<unsigned long long>(
                SendMessageA(ToWindow(arg(1)), WM_COMMAND, static_cast<WPARAM>(ToLong(arg(2))), 0)));
        } else if (!strcmp(cmd, "menustate")) {
            ReplyNumber(GetMenuState(GetMenu(ToWindow(arg(1))), static_cast<UINT>(ToLong(arg(2))), MF_BYCOMMAND));
        } else if (!strcmp(cmd, "child")) {
            HWND child = GetWindow(ToWindow(arg(1)), GW_CHILD);
            if (!child) {
                Reply("0");
                continue;
            }
            RECT r;
            GetWindowRect(child, &r);
            MapWindowPoints(nullptr, ToWindow(arg(1)), reinterpret_cast<POINT*>(&r), 2);
            char text[128];
            snprintf(text, sizeof(text), "%lu %ld %ld %ld %ld", static_cast<unsigned long>(reinterpret_cast<uintptr_t>(child)),
                     r.left, r.top, r.right - r.left, r.bottom - r.top);
            Reply(text);
        } else if (!strcmp(cmd, "client")) {
            RECT r = {};
            GetClientRect(ToWindow(arg(1)), &r);
            char text[64];
            snprintf(text, sizeof(text), "%ld %ld", r.right, r.bottom);
            Reply(text);
        } else if (!strcmp(cmd, "owned")) {
            OwnedSearch search = {ToWindow(arg(1)), ""};
            EnumWindows(CollectOwned, reinterpret_cast<LPARAM>(&search));
            Reply(search.out);
        } else if (!strcmp(cmd, "dlgtext")) {
            char text[1024] = "";
            GetDlgItemTextA(ToWindow(arg(1)), static_cast<int>(ToLong(arg(2))), text, sizeof(text));
            for (char* c = text; *c; ++c)  // one reply line: a line break comes as a tab
                *c = *c == '\n' ? '\t' : *c;
            Reply(text);
        } else if (!strcmp(cmd, "setdlgtext")) {
            ReplyNumber(SetDlgItemTextA(ToWindow(arg(1)), static_cast<int>(ToLong(arg(2))), arg(3)) ? 1 : 0);
        } else if (!strcmp(cmd, "foreground")) {
            ReplyNumber(SetForegroundWindow(ToWindow(arg(1))) ? 1 : 0);
        } else if (!strcmp(cmd, "getforeground")) {
            ReplyNumber(reinterpret_cast<uintptr_t>(GetForegroundWindow()));
        } else if (!strcmp(cmd, "iconic")) {
            ReplyNumber(IsIconic(ToWindow(arg(1))) ? 1 : 0);
        } else if (!strcmp(cmd, "pid")) {
            DWORD pid = 0;
            GetWindowThreadProcessId(ToWindow(arg(1)), &pid);
            ReplyNumber(pid);
        } else if (!strcmp(cmd, "resources")) {
            ReplyResources(static_cast<DWORD>(ToLong(arg(1))));
        } else if (!strcmp(cmd, "screen")) {
            HWND window = ToWindow(arg(1));
            RECT r = {};
            GetClientRect(window, &r);
            POINT origin = {0, 0};
            ClientToScreen(window, &origin);
            char text[96];
            snprintf(text, sizeof(text), "%ld %ld %ld %ld", origin.x, origin.y, r.right, r.bottom);
            Reply(text);
        } else if (!strcmp(cmd, "setpos")) {
            // The last argument holds "W H": split it here.
            long w = 0, h = 0;
            sscanf(arg(4), "%ld %ld", &w, &h);
            ReplyNumber(SetWindowPos(ToWindow(arg(1)), nullptr, static_cast<int>(ToLong(arg(2))), static_cast<int>(ToLong(arg(3))),
                                     static_cast<int>(w), static_cast<int>(h), SWP_NOZORDER | SWP_NOACTIVATE) ? 1 : 0);
        } else if (!strcmp(cmd, "syscolor")) {
            COLORREF colour = GetSysColor(static_cast<int>(ToLong(arg(1))));
            char text[16];
            snprintf(text, sizeof(text), "%02X%02X%02X", GetRValue(colour), GetGValue(colour), GetBValue(colour));
            Reply(text);
        } else if (!strcmp(cmd, "version")) {
            ReplyVersion(arg(1), arg(2));
        } else if (!strcmp(cmd, "show")) {
            ReplyNumber(ShowWindow(ToWindow(arg(1)), static_cast<int>(ToLong(arg(2)))) ? 1 : 0);
        } else {
            Reply("?");
        }
    }
    return 0;
}
