// The main window with recording stand-ins behind it: creation, resizing, closing, every
// command and key, MenuCheck and the About box, on real windows and the real menu bar.
#include <windows.h>

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "app_state.h"
#include "capture_window.h"
#include "main_window.h"
#include "menu_check.h"
#include "picture_commands.h"
#include "recording_stubs.h"
#include "resource.h"

namespace {

using Calls = std::vector<std::string>;

void PumpMessages()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));  // leave it for the test to see
            return;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

bool QuitPosted(WPARAM* code)
{
    MSG msg;
    if (!PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE))
        return false;
    *code = msg.wParam;
    return true;
}

class MainWindow : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        HINSTANCE instance = GetModuleHandleA(nullptr);
        LoadStringA(instance, IDS_APP_TITLE, g_appTitle, sizeof(g_appTitle));
        LoadStringA(instance, IDC_PELMIX, g_windowClass, sizeof(g_windowClass));
        RegisterMainWindowClass(instance);
    }

    void SetUp() override
    {
        g_recorder = Recorder();
        g_mainWindow = nullptr;
        g_captureWindow = nullptr;
    }

    void TearDown() override
    {
        if (IsWindow(g_mainWindow))
            DestroyWindow(g_mainWindow);
        WPARAM code;
        while (QuitPosted(&code)) {}
    }

    // Hidden unless a test needs to see it: with no window manager on the test display,
    // Wine waits two seconds for every shown window it takes down.
    HWND Open(bool withCaptureWindow = true, int showCommand = SW_HIDE)
    {
        g_recorder.refuseCaptureWindow = !withCaptureWindow;
        EXPECT_TRUE(CreateMainWindow(GetModuleHandleA(nullptr), showCommand));
        PumpMessages();
        return g_mainWindow;
    }

    static LRESULT Command(UINT id) { return SendMessageA(g_mainWindow, WM_COMMAND, id, 0); }
    static bool Checked(UINT id) { return GetMenuState(GetMenu(g_mainWindow), id, MF_BYCOMMAND) & MF_CHECKED; }

    static RECT Client(HWND window)
    {
        RECT r = {};
        GetClientRect(window, &r);
        return r;
    }
    static RECT ChildRect(HWND child)
    {
        RECT r = {};
        GetWindowRect(child, &r);
        MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
        return r;
    }

    static void ExpectCaptureWindowFillsTheClientArea(HWND window)
    {
        RECT client = Client(window), child = ChildRect(g_captureWindow);
        EXPECT_EQ(child.left, 0);
        EXPECT_EQ(child.top, 0);
        EXPECT_EQ(child.right, client.right);
        EXPECT_EQ(child.bottom, client.bottom);
    }

    // Exactly these messages reached the capture window, each with lParam 0.
    static void ExpectCaptureMessages(std::initializer_list<std::pair<UINT, WPARAM>> expected)
    {
        ASSERT_EQ(g_recorder.captureMessages.size(), expected.size());
        size_t i = 0;
        for (const auto& [message, wParam] : expected) {
            EXPECT_EQ(g_recorder.captureMessages[i].message, message) << i;
            EXPECT_EQ(g_recorder.captureMessages[i].wParam, wParam) << i;
            EXPECT_EQ(g_recorder.captureMessages[i].lParam, 0) << i;
            ++i;
        }
    }

    static void ExpectQuitWithCodeZero()
    {
        WPARAM code = 99;
        EXPECT_TRUE(QuitPosted(&code));
        EXPECT_EQ(code, 0u);
    }
};

// ---- Start-up ----

// The class gives its windows what the resources declare: the shared icons themselves,
// and menu 109 with every item of every menu.
TEST_F(MainWindow, ClassGivesItsWindowsTheDeclaredIconsAndMenu)
{
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof(wc);
    ASSERT_TRUE(GetClassInfoExA(instance, "PELMIX", &wc));
    EXPECT_EQ(wc.hIcon, LoadIconA(instance, MAKEINTRESOURCEA(IDI_PELMIX)));
    EXPECT_EQ(wc.hIconSm, LoadIconA(instance, MAKEINTRESOURCEA(IDI_SMALL)));
    EXPECT_TRUE(wc.hIcon && wc.hIconSm && wc.hIcon != wc.hIconSm);
    EXPECT_EQ(wc.hCursor, LoadCursorA(nullptr, IDC_ARROW));
    EXPECT_EQ(wc.style & (CS_HREDRAW | CS_VREDRAW), UINT{CS_HREDRAW | CS_VREDRAW}) << "a resize repaints it all";
    HMENU declared = LoadMenuA(instance, MAKEINTRESOURCEA(IDC_PELMIX));
    HMENU shown = GetMenu(Open());
    ASSERT_EQ(GetMenuItemCount(shown), GetMenuItemCount(declared));
    for (int i = 0; i < GetMenuItemCount(declared); ++i) {
        HMENU want = GetSubMenu(declared, i), got = GetSubMenu(shown, i);
        ASSERT_EQ(GetMenuItemCount(got), GetMenuItemCount(want)) << i;
        for (int j = 0; j < GetMenuItemCount(want); ++j)
            EXPECT_EQ(GetMenuItemID(got, j), GetMenuItemID(want, j)) << i << " " << j;
    }
    DestroyMenu(declared);
}

TEST_F(MainWindow, OpensWithTitleStylesAndTheMenuBarOfTheClass)
{
    HWND window = Open(true, SW_SHOWNORMAL);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(g_instance, GetModuleHandleA(nullptr));
    char title[100] = "";
    GetWindowTextA(window, title, sizeof(title));
    EXPECT_STREQ(title, "Pelmix");
    const LONG style = GetWindowLongA(window, GWL_STYLE);
    EXPECT_EQ(style & WS_OVERLAPPEDWINDOW, WS_OVERLAPPEDWINDOW);
    EXPECT_EQ(style & WS_CLIPCHILDREN, 0) << "drawing on the main window must cover the preview";
    EXPECT_TRUE(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
    EXPECT_TRUE(IsWindowVisible(window));
    HMENU menu = GetMenu(window);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(GetMenuItemCount(menu), 4);
    EXPECT_TRUE(Checked(IDM_AUTO_UPLOAD));
    EXPECT_FALSE(Checked(IDM_AUTO));
    EXPECT_FALSE(Checked(IDM_STRETCH));
    EXPECT_FALSE(Checked(IDM_AUTO_BACKUP));
    EXPECT_FALSE(Checked(IDM_AUTO_START));
}

TEST_F(MainWindow, CreationMakesTheCaptureWindowOverTheClientAreaAndStartsThePreview)
{
    HWND window = Open();
    ASSERT_EQ(g_recorder.creations.size(), 1u);
    const CaptureCreation& made = g_recorder.creations[0];
    EXPECT_EQ(made.mainWindowAtCreation, window) << "the main window handle is stored first";
    EXPECT_EQ(made.title, "My Capture Window");
    EXPECT_EQ(made.style, DWORD{WS_CHILD | WS_VISIBLE});
    EXPECT_EQ(made.x, 0);
    EXPECT_EQ(made.y, 0);
    EXPECT_EQ(made.parent, window);
    EXPECT_EQ(made.id, 1);
    ASSERT_NE(g_captureWindow, nullptr);
    EXPECT_EQ(GetParent(g_captureWindow), window);

    // And no scale message at start.
    ExpectCaptureMessages({{WM_CAP_DRIVER_CONNECT, 0}, {WM_CAP_SET_PREVIEWRATE, 66}, {WM_CAP_SET_PREVIEW, 1}});

    ExpectCaptureWindowFillsTheClientArea(window);
}

TEST_F(MainWindow, WithoutACaptureWindowTheMainWindowStillOpensAndCloses)
{
    HWND window = Open(false);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(g_captureWindow, nullptr);
    EXPECT_EQ(GetWindow(window, GW_CHILD), nullptr);
    SetWindowPos(window, nullptr, 0, 0, 500, 400, SWP_NOZORDER | SWP_NOMOVE);
    SendMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(window));
    ExpectQuitWithCodeZero();
}

// ---- Resizing ----

TEST_F(MainWindow, ResizingMovesTheCaptureWindowOverTheWholeClientArea)
{
    HWND window = Open();
    for (SIZE size : {SIZE{640, 480}, SIZE{300, 200}, SIZE{900, 700}}) {
        SCOPED_TRACE(std::to_string(size.cx) + "x" + std::to_string(size.cy));
        SetWindowPos(window, nullptr, 0, 0, size.cx, size.cy, SWP_NOZORDER | SWP_NOMOVE);
        ExpectCaptureWindowFillsTheClientArea(window);
    }
}

TEST_F(MainWindow, MinimisingLeavesTheCaptureWindowZeroByZero)
{
    HWND window = Open(true, SW_SHOWNORMAL);
    ShowWindow(window, SW_MINIMIZE);
    RECT child = ChildRect(g_captureWindow);
    EXPECT_EQ(child.right - child.left, 0);
    EXPECT_EQ(child.bottom - child.top, 0);
    ShowWindow(window, SW_RESTORE);
    EXPECT_EQ(ChildRect(g_captureWindow).right, Client(window).right);
}

// ---- Closing ----

TEST_F(MainWindow, CloseBoxDisconnectsTheDriverThenDestroysTheWindow)
{
    HWND window = Open();
    HWND capture = g_captureWindow;
    g_recorder.Clear();
    EXPECT_EQ(SendMessageA(window, WM_CLOSE, 0, 0), 0);
    ExpectCaptureMessages({{WM_CAP_DRIVER_DISCONNECT, 0}});
    EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(IsWindow(capture));
    ExpectQuitWithCodeZero();
}

TEST_F(MainWindow, ExitCommandDestroysTheWindowWithoutTheDisconnect)
{
    HWND window = Open();
    g_recorder.Clear();
    EXPECT_EQ(Command(IDM_EXIT), 0);
    EXPECT_TRUE(g_recorder.captureMessages.empty());
    EXPECT_FALSE(IsWindow(window));
    ExpectQuitWithCodeZero();
}

// ---- Saving, uploading, the automatic mode ----

// Each command, key and timer message, and the one operation it reaches (none for a
// key or command of no meaning); none of them talks to the capture window.
TEST_F(MainWindow, CommandsKeysAndTicksReachTheirOperations)
{
    HWND window = Open();
    const struct {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        const char* call;
    } cases[] = {
        {WM_COMMAND, IDM_SAVE_CAPTIONED, 0, "save jpeg 0"},
        {WM_COMMAND, IDM_SAVE_BMP, 0, "save bmp 0"},
        {WM_COMMAND, IDM_SAVE_JPG, 0, "save jpeg 0"},
        {WM_KEYDOWN, VK_SPACE, 0x00390001, "save bmp 0"},
        {WM_KEYDOWN, VK_RETURN, 0x001C0001, "save jpeg 0"},
        // Auto-repeats carry bit 30 (the key was already down); every one saves all the same.
        {WM_KEYDOWN, VK_SPACE, 0x40390001, "save bmp 0"},
        {WM_KEYDOWN, VK_SPACE, 0x40390001, "save bmp 0"},
        {WM_KEYDOWN, VK_RETURN, 0x401C0001, "save jpeg 0"},
        {WM_COMMAND, IDM_UPLOAD, 0, "upload"},
        // The high word is 1 for an accelerator; only the low word counts.
        {WM_COMMAND, MAKEWPARAM(IDM_SAVE_CAPTIONED, 1), 0, "save jpeg 0"},
        {WM_COMMAND, MAKEWPARAM(IDM_UPLOAD, 1), 0, "upload"},
        {WM_COMMAND, IDM_AUTO, 0, "auto"},
        {WM_COMMAND, IDM_AUTO_START, 0, "auto-start"},
        {WM_COMMAND, IDM_CONNECTION, 0, "connection"},
        {WM_TIMER, 10, 0, "tick"},
        {WM_TIMER, 77, 0, "tick"},  // any timer id is a tick
        {WM_KEYDOWN, 'S', 0, nullptr},
        {WM_KEYDOWN, VK_ESCAPE, 0, nullptr},
        {WM_KEYDOWN, VK_F1, 0, nullptr},
        {WM_KEYDOWN, VK_TAB, 0, nullptr},
        {WM_KEYDOWN, 'U', 0, nullptr},
        {WM_COMMAND, 40000, 0, nullptr},
        {WM_COMMAND, 106, 0, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.message) + " " + std::to_string(c.wParam));
        g_recorder.Clear();
        EXPECT_EQ(SendMessageA(window, c.message, c.wParam, c.lParam), 0);
        EXPECT_EQ(g_recorder.calls, c.call ? Calls{c.call} : Calls{});
        EXPECT_TRUE(g_recorder.captureMessages.empty());
    }
    EXPECT_TRUE(IsWindow(window));
}

// While an upload runs, what would save or upload is refused; the rest goes on, and the
// upload's end reaches the upload and then the cycle. Closing ends the upload first.
TEST_F(MainWindow, WhileAnUploadRunsSavesAndUploadsAreRefused)
{
    HWND window = Open();
    g_recorder.uploading = true;
    const struct {
        UINT message;
        WPARAM wParam;
        Calls calls;
    } cases[] = {
        {WM_COMMAND, IDM_SAVE_CAPTIONED, {"refused"}},
        {WM_COMMAND, IDM_SAVE_BMP, {"refused"}},
        {WM_COMMAND, IDM_UPLOAD, {"refused"}},
        {WM_KEYDOWN, VK_SPACE, {"refused"}},
        {WM_KEYDOWN, VK_RETURN, {"refused"}},
        {WM_COMMAND, IDM_AUTO, {"auto"}},
        {WM_PELMIX_UPLOAD_ENDED, 0, {"upload ended", "cycle upload ended"}},
        {WM_CLOSE, 0, {"end upload"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.message) + " " + std::to_string(c.wParam));
        g_recorder.calls.clear();
        EXPECT_EQ(SendMessageA(window, c.message, c.wParam, 0), 0);
        EXPECT_EQ(g_recorder.calls, c.calls);
    }
    EXPECT_FALSE(IsWindow(window));
    ExpectQuitWithCodeZero();
}

// ---- The capture window's own settings ----

TEST_F(MainWindow, PictureSettingsShowTheFourDriverDialogsInOrder)
{
    Open();
    g_recorder.Clear();
    EXPECT_EQ(Command(IDM_CAPTURE_DIALOGS), 0);
    ExpectCaptureMessages({{WM_CAP_DLG_VIDEOSOURCE, 0},
                           {WM_CAP_DLG_VIDEOFORMAT, 0},
                           {WM_CAP_DLG_VIDEODISPLAY, 0},
                           {WM_CAP_DLG_VIDEOCOMPRESSION, 0}});
}

TEST_F(MainWindow, StretchTogglesItsCheckAndSendsTheNewState)
{
    Open();
    g_recorder.Clear();
    Command(IDM_STRETCH);
    EXPECT_TRUE(Checked(IDM_STRETCH));
    Command(IDM_STRETCH);
    EXPECT_FALSE(Checked(IDM_STRETCH));
    ExpectCaptureMessages({{WM_CAP_SET_SCALE, 1}, {WM_CAP_SET_SCALE, 0}});
}

TEST_F(MainWindow, WithoutACaptureWindowStretchAndDriverDialogsDoNothing)
{
    Open(false);
    Command(IDM_STRETCH);
    EXPECT_FALSE(Checked(IDM_STRETCH)) << "the check mark stays as it was";
    Command(IDM_CAPTURE_DIALOGS);
    EXPECT_TRUE(g_recorder.captureMessages.empty());
    EXPECT_TRUE(g_recorder.calls.empty());
}

TEST_F(MainWindow, UploadAndBackupSwitchesToggleTheirCheckMarksAndHandOnTheNewState)
{
    Open();
    g_recorder.Clear();
    const struct {
        UINT item;
        bool checkedAfter;
        const char* handedOn;
    } steps[] = {
        {IDM_AUTO_UPLOAD, false, "remember 32777 0"},
        {IDM_AUTO_BACKUP, true, "remember 32780 1"},
        {IDM_AUTO_UPLOAD, true, "remember 32777 1"},
        {IDM_AUTO_BACKUP, false, "remember 32780 0"},
    };
    for (const auto& step : steps) {
        g_recorder.calls.clear();
        EXPECT_EQ(Command(step.item), 0);
        EXPECT_EQ(Checked(step.item), step.checkedAfter) << step.handedOn;
        EXPECT_EQ(g_recorder.calls, (Calls{step.handedOn}));
    }
    EXPECT_TRUE(g_recorder.captureMessages.empty());
}

TEST_F(MainWindow, OpenFolderReadsTheImageFolderSetting)
{
    Open();
    g_recorder.Clear();
    g_recorder.localDir = "Z:\\no\\such\\folder\\for\\pelmix";  // the shell finds nothing to show
    EXPECT_EQ(Command(IDM_OPEN_FOLDER), 0);
    EXPECT_EQ(g_recorder.calls, (Calls{"read local_dir"}));
}

// ---- Dialogs ----

// Meets every dialog this thread creates and posts it one message at once, so the modal
// loop takes that message before the dialog is ever shown (Wine would wait for a window
// manager to take a shown window down again).
struct DialogVisit {
    UINT message = WM_COMMAND;
    WPARAM wParam = IDOK;
    HWND dialog = nullptr;
    std::string title;
    HWND owner = nullptr;
};
DialogVisit g_visit;
HHOOK g_dialogHook = nullptr;

LRESULT CALLBACK MeetDialog(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_CREATEWND) {
        auto* create = reinterpret_cast<CBT_CREATEWNDA*>(lParam);
        if (create->lpcs->lpszClass == MAKEINTATOM(32770) && !g_visit.dialog) {
            g_visit.dialog = reinterpret_cast<HWND>(wParam);
            g_visit.owner = create->lpcs->hwndParent;
            g_visit.title = create->lpcs->lpszName ? create->lpcs->lpszName : "";
            PostMessageA(g_visit.dialog, g_visit.message, g_visit.wParam, 0);
        }
    }
    return CallNextHookEx(g_dialogHook, code, wParam, lParam);
}

// Hooks the dialogs of this thread for one test.
class DialogHook {
public:
    DialogHook(UINT message, WPARAM wParam)
    {
        g_visit = DialogVisit();
        g_visit.message = message;
        g_visit.wParam = wParam;
        g_dialogHook = SetWindowsHookExA(WH_CBT, MeetDialog, nullptr, GetCurrentThreadId());
    }
    ~DialogHook() { UnhookWindowsHookEx(g_dialogHook); }
    DialogHook(const DialogHook&) = delete;
    DialogHook& operator=(const DialogHook&) = delete;
};

TEST_F(MainWindow, AboutCommandOpensTheAboutBoxOwnedByTheMainWindow)
{
    HWND window = Open();
    DialogHook hook(WM_COMMAND, IDOK);
    EXPECT_EQ(Command(IDM_ABOUT), 0);
    ASSERT_NE(g_visit.dialog, nullptr);
    EXPECT_EQ(g_visit.title, "ﾊﾞｰｼﾞｮﾝ情報");
    EXPECT_EQ(g_visit.owner, window);
    EXPECT_FALSE(IsWindow(g_visit.dialog));
    EXPECT_TRUE(IsWindow(window));
}

TEST_F(MainWindow, SettingsCommandOpensDialog129WithTheSettingsProcedure)
{
    HWND window = Open();
    g_recorder.Clear();
    EXPECT_EQ(Command(IDM_SETTINGS), 0);
    EXPECT_EQ(g_recorder.calls, (Calls{"settings"}));
    EXPECT_EQ(g_recorder.settingsOwner, window);
    EXPECT_NE(g_recorder.settingsParam, 0);  // where the values come back
}

INT_PTR RunAboutBox(UINT message, WPARAM wParam)
{
    DialogHook hook(message, wParam);
    return DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_ABOUTBOX), nullptr, AboutDialogProc, 0);
}

TEST(AboutBox, OkAndEnterEndItWith1)
{
    EXPECT_EQ(RunAboutBox(WM_COMMAND, IDOK), IDOK);
    EXPECT_EQ(RunAboutBox(WM_KEYDOWN, VK_RETURN), IDOK);
}

TEST(AboutBox, EscAndTheCloseBoxEndItWith2)
{
    EXPECT_EQ(RunAboutBox(WM_KEYDOWN, VK_ESCAPE), IDCANCEL);
    EXPECT_EQ(RunAboutBox(WM_SYSCOMMAND, SC_CLOSE), IDCANCEL);
}

TEST(AboutBox, OtherCommandsLeaveItOpen)
{
    HWND dialog = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_ABOUTBOX), nullptr,
                                     AboutDialogProc, 0);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(AboutDialogProc(dialog, WM_COMMAND, 2000, 0), FALSE);
    EXPECT_EQ(AboutDialogProc(dialog, WM_TIMER, 1, 0), FALSE);
    EXPECT_TRUE(IsWindow(dialog));
    EXPECT_EQ(GetFocus(), GetDlgItem(dialog, IDOK)) << "the default focus is the OK button";
    DestroyWindow(dialog);
}

// ---- MenuCheck ----

class MenuCheckTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        menu_ = CreateMenu();
        AppendMenuA(menu_, MF_STRING, 501, "one");
        AppendMenuA(menu_, MF_STRING | MF_CHECKED, 502, "two");
        AppendMenuA(menu_, MF_STRING | MF_GRAYED, 503, "three");
    }
    void TearDown() override { DestroyMenu(menu_); }
    UINT State(UINT id) { return GetMenuState(menu_, id, MF_BYCOMMAND); }

    HMENU menu_ = nullptr;
};

TEST_F(MenuCheckTest, WithoutToggleOnlyReports)
{
    EXPECT_FALSE(IsMenuChecked(501, menu_));
    EXPECT_TRUE(IsMenuChecked(502, menu_));
    EXPECT_EQ(State(501) & MF_CHECKED, 0u);
    EXPECT_EQ(State(502) & MF_CHECKED, UINT{MF_CHECKED});
}

TEST_F(MenuCheckTest, ToggleFlipsAndReturnsTheNewState)
{
    EXPECT_TRUE(ToggleMenuCheck(501, menu_));
    EXPECT_TRUE(State(501) & MF_CHECKED);
    EXPECT_FALSE(ToggleMenuCheck(501, menu_));
    EXPECT_FALSE(State(501) & MF_CHECKED);
    EXPECT_FALSE(ToggleMenuCheck(502, menu_));
    EXPECT_FALSE(State(502) & MF_CHECKED);
}

TEST_F(MenuCheckTest, ToggleReplacesTheWholeStateWord)
{
    EXPECT_TRUE(ToggleMenuCheck(503, menu_));
    EXPECT_EQ(State(503) & (MF_GRAYED | MF_CHECKED), UINT{MF_CHECKED});
}

TEST_F(MenuCheckTest, AnItemThatIsNotThereCountsAsUnchecked)
{
    EXPECT_FALSE(IsMenuChecked(999, menu_));
}

TEST_F(MainWindow, MenuCheckWithoutAMenuWorksOnTheMainWindowsMenuBar)
{
    Open();
    EXPECT_TRUE(IsMenuChecked(IDM_AUTO_UPLOAD));
    EXPECT_FALSE(ToggleMenuCheck(IDM_AUTO_UPLOAD));
    EXPECT_FALSE(Checked(IDM_AUTO_UPLOAD));
    EXPECT_TRUE(ToggleMenuCheck(IDM_AUTO));
    EXPECT_TRUE(Checked(IDM_AUTO));
}

}  // namespace
