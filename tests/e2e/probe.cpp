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
//   command HWND ID            -> SendMessageA(WM_COMMAND, ID) result
//   menustate HWND ID          -> GetMenuState(GetMenu(HWND), ID, MF_BYCOMMAND)
//   child HWND                 -> "hwnd x y width height" of the first child, or 0
//   client HWND                -> "width height" of the client area
//   owned HWND                 -> "hwnd class" of each visible window owned by HWND, ';'-separated
//   dlgtext DLG ID             -> the text of a dialog item
//   setdlgtext DLG ID TEXT     -> 1 or 0
//   foreground HWND            -> 1 or 0
//   pid HWND                   -> process id of the window
//   quit
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

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
    snprintf(search->out + used, sizeof(search->out) - used, "%s%lu %s", used ? ";" : "",
             static_cast<unsigned long>(reinterpret_cast<uintptr_t>(window)), className);
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
            Reply(text);
        } else if (!strcmp(cmd, "setdlgtext")) {
            ReplyNumber(SetDlgItemTextA(ToWindow(arg(1)), static_cast<int>(ToLong(arg(2))), arg(3)) ? 1 : 0);
        } else if (!strcmp(cmd, "foreground")) {
            ReplyNumber(SetForegroundWindow(ToWindow(arg(1))) ? 1 : 0);
        } else if (!strcmp(cmd, "pid")) {
            DWORD pid = 0;
            GetWindowThreadProcessId(ToWindow(arg(1)), &pid);
            ReplyNumber(pid);
        } else {
            Reply("?");
        }
    }
    return 0;
}
