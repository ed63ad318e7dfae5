// Shared by the settings tests: scratch folder, file helpers and the dialog driver.
#include "settings_test_support.h"

#include <cstdio>
#include <cstring>

#include "resource.h"
#include "settings_dialog.h"
#include "settings_store.h"
#include "test_files.h"

void IniFolderTest::SetUp()
{
    GetCurrentDirectoryA(sizeof(previousFolder_), previousFolder_);
    char temp[MAX_PATH] = "";
    GetTempPathA(sizeof(temp), temp);
    char name[MAX_PATH];
    snprintf(name, sizeof(name), "%spelmix-settings-%lu-%lu", temp, GetCurrentProcessId(), GetTickCount());
    for (int attempt = 0; !CreateDirectoryA(name, nullptr); ++attempt) {
        ASSERT_LT(attempt, 100) << "cannot make a scratch folder";
        snprintf(name, sizeof(name), "%spelmix-settings-%lu-%lu-%d", temp, GetCurrentProcessId(), GetTickCount(),
                 attempt);
    }
    folder_ = name;
    ASSERT_TRUE(SetCurrentDirectoryA(folder_.c_str()));
    PointSettingsAtIniFile();
}

void IniFolderTest::TearDown()
{
    SetFileAttributesA("Pelmix.ini", FILE_ATTRIBUTE_NORMAL);
    DeleteFileA("Pelmix.ini");
    SetCurrentDirectoryA(previousFolder_);
    RemoveDirectoryA(folder_.c_str());
}

std::string Kanji(int count)
{
    std::string text;
    for (int i = 0; i < count; ++i)
        text += "画";
    return text;
}

bool FileExists(const char* path)
{
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

std::string ReadFileBytes(const char* path) { return ReadText(path); }

void WriteFileBytes(const char* path, const std::string& bytes) { ASSERT_TRUE(WriteText(path, bytes)) << path; }

FILETIME LastWriteTime(const char* path)
{
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    GetFileAttributesExA(path, GetFileExInfoStandard, &data);
    return data.ftLastWriteTime;
}

void AgeFileTimeForward(const char* path)
{
    FILETIME time = LastWriteTime(path);
    ULARGE_INTEGER value;
    value.LowPart = time.dwLowDateTime;
    value.HighPart = time.dwHighDateTime;
    value.QuadPart += 3ull * 10000000ull;
    time.dwLowDateTime = value.LowPart;
    time.dwHighDateTime = value.HighPart;
    HANDLE file = CreateFileA(path, FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    SetFileTime(file, nullptr, nullptr, &time);
    CloseHandle(file);
}

namespace {

// No window manager runs on the test display, and Wine waits two seconds for one each
// time a managed window is hidden, so every dialog close would cost two seconds. This
// program asks Wine to handle its own windows instead; it must happen before the
// first window loads the display driver. The typing tests keep the managed windows.
struct UnmanagedWindows {
    UnmanagedWindows()
    {
        char path[MAX_PATH] = "";
        GetModuleFileNameA(nullptr, path, sizeof(path));
        const char* name = strrchr(path, '\\');
        name = name ? name + 1 : path;
        char key[MAX_PATH + 64];
        snprintf(key, sizeof(key), "Software\\Wine\\AppDefaults\\%s\\X11 Driver", name);
        RegSetKeyValueA(HKEY_CURRENT_USER, key, "Managed", REG_SZ, "N", 2);
    }
} g_unmanagedWindows;

// The driver's state lives for one modal run; the timer procedure has no other way in.
struct DialogSession {
    const std::vector<DialogStep>* steps = nullptr;
    size_t next = 0;
};
DialogSession* g_session = nullptr;

BOOL CALLBACK FindDialog(HWND window, LPARAM param)
{
    char className[16] = "";
    GetClassNameA(window, className, sizeof(className));
    if (strcmp(className, "#32770") == 0) {
        *reinterpret_cast<HWND*>(param) = window;
        return FALSE;
    }
    return TRUE;
}

// A timer message comes only when the queue is otherwise empty, so every tick finds
// the input of the previous step handled.
void CALLBACK OnDriverTick(HWND, UINT, UINT_PTR, DWORD)
{
    HWND dialog = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindDialog, reinterpret_cast<LPARAM>(&dialog));
    if (!dialog || !g_session)
        return;
    if (g_session->next < g_session->steps->size())
        (*g_session->steps)[g_session->next++](dialog);
    else
        EndDialog(dialog, 99);
}

}  // namespace

INT_PTR RunSettingsDialog(const std::vector<DialogStep>& steps)
{
    SettingsValues values;
    const INT_PTR result = RunDialog(IDD_SETTINGS, SettingsDialogProc, steps, reinterpret_cast<LPARAM>(&values));
    if (result == IDOK)
        StoreSettings(values);
    return result;
}

INT_PTR RunDialog(int templateId, DLGPROC procedure, const std::vector<DialogStep>& steps, LPARAM param)
{
    DialogSession session;
    session.steps = &steps;
    g_session = &session;
    UINT_PTR timer = SetTimer(nullptr, 0, 10, OnDriverTick);
    INT_PTR result = DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(templateId), nullptr,
                                     procedure, param);
    KillTimer(nullptr, timer);
    g_session = nullptr;
    // A tick that was already queued must not reach the next test's dialog.
    MSG msg;
    while (PeekMessageA(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE)) {
    }
    return result;
}

void TypeText(HWND control, const std::string& text)
{
    for (unsigned char c : text)
        PostMessageA(control, WM_CHAR, c, 1);
}

void PressKey(HWND dialog, WPARAM virtualKey)
{
    HWND target = GetFocus();
    if (!target)
        target = dialog;
    UINT scan = MapVirtualKeyA(static_cast<UINT>(virtualKey), 0);
    PostMessageA(target, WM_KEYDOWN, virtualKey, 1 | (scan << 16));
    PostMessageA(target, WM_KEYUP, virtualKey, 1 | (scan << 16) | (3u << 30));
}

void ClickButton(HWND dialog, int buttonId)
{
    PostMessageA(GetDlgItem(dialog, buttonId), BM_CLICK, 0, 0);
}

std::string FieldText(HWND dialog, int controlId)
{
    char text[1024] = "";
    GetDlgItemTextA(dialog, controlId, text, sizeof(text));
    return text;
}
