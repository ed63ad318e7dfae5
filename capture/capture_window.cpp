// The capture window: a child that paints the current frame of its video source
// and answers the WM_CAP_* messages synchronously.
#include "capture_window.h"

#include <objbase.h>

#include <memory>
#include <new>
#include <vector>

#include "camera_reopen.h"
#include "capture_core.h"
#include "turned_frame.h"
#include "video_source.h"
#include "win_handles.h"

namespace {

const char kClassName[] = "PelmixCapture";
const UINT_PTR kPreviewTimer = 1;
const UINT_PTR kCameraTimer = 2;
const UINT kCameraCheckMs = 500;
// Posted by the reopening thread when an attempt has ended (lParam: the attempt).
const UINT kReopenedMessage = WM_USER + 202;
const char kNoCameraText[] = "カメラが接続されていません。接続を待っています…";

struct CaptureState {
    // Held for the window's life: a camera graph let go of may still be stopping on a
    // thread of its own when the source that made it is gone.
    bool comStarted = false;
    std::unique_ptr<VideoSource> source;
    bool previewOn = false;
    UINT previewRate = 66;
    bool scale = false;
    std::vector<uint8_t> frame;    // the latest frame, as BMP file bytes
    std::vector<uint8_t> scratch;  // where the next frame is grabbed; kept to spare fresh pages
    std::vector<uint8_t> turned;   // the frame as shown, when the settings turn it
    BmpView view;
    bool viewable = false;
    // A camera is watched while it is connected and sought again while it is lost.
    bool cameraWanted = false;   // the connected driver is a camera
    bool cameraLost = false;     // the parent has been told; no fresh frame since
    CameraIdentity camera;       // the one to find again
    bool inDialog = false;       // a driver dialog runs its own loop inside the source
    bool destroyed = false;      // the window went while a dialog ran: the dialog frees this
    uint32_t reconnectAttempt = 0;
    DWORD nextAttemptAt = 0;
    // The reopening under way, held with the thread that opens the camera; one at a time.
    ReopenAttempt* reopening = nullptr;
};

CaptureState* StateOf(HWND window)
{
    return reinterpret_cast<CaptureState*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

RECT UnscaledFrameArea(const CaptureState& state)
{
    const int rows = state.view.height < 0 ? -state.view.height : state.view.height;
    return {0, 0, state.view.width, rows};
}

// The grabbed frame in scratch becomes the shown one. Unscaled, only the picture's
// own area is repainted: the save shows the captioned picture beside it, drawn over
// this window, and a repaint of the whole window would wipe that at once.
void ShowScratchFrame(HWND window, CaptureState& state)
{
    const bool wasUnscaled = state.viewable && !state.scale;
    const RECT before = UnscaledFrameArea(state);
    state.frame.swap(state.scratch);
    const CapturedFrame shown = TurnedFrame({state.frame.data(), state.frame.size()}, state.turned);
    state.viewable = ViewBmp(shown.bmp, shown.size, state.view);
    if (!wasUnscaled || !state.viewable || state.scale) {
        InvalidateRect(window, nullptr, FALSE);
        return;
    }
    const RECT after = UnscaledFrameArea(state);
    InvalidateRect(window, &before, FALSE);
    InvalidateRect(window, &after, FALSE);
}

void RefreshFrame(HWND window, CaptureState& state)
{
    if (state.source && state.source->GrabPreviewFrame(state.scratch))
        ShowScratchFrame(window, state);
}

void UpdatePreviewTimer(HWND window, const CaptureState& state)
{
    if (state.source && state.previewOn)
        SetTimer(window, kPreviewTimer, state.previewRate, nullptr);
    else
        KillTimer(window, kPreviewTimer);
}

bool WriteWholeFile(const char* name, const std::vector<uint8_t>& bytes)
{
    bool ok;
    {
        const KernelHandle file(CreateFileA(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file)
            return false;
        DWORD written = 0;
        ok = bytes.empty() || (WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                               written == bytes.size());
    }
    // A frame cut short would pass for a whole one.
    if (!ok)
        DeleteFileA(name);
    return ok;
}

void DropSource(HWND window, CaptureState& state)
{
    state.source.reset();
    state.frame.clear();
    state.viewable = false;
    InvalidateRect(window, nullptr, FALSE);
}

void NotifyCameraState(HWND window, bool found)
{
    HWND parent = GetParent(window);
    if (parent)
        PostMessageA(parent, WM_CAP_PELMIX_CAMERA_STATE, found ? 1 : 0, 0);
}

// The graph of a camera that is gone or silent is torn down (its stream thread may have
// ended without a word), and a new one is tried after a pause that grows with each miss.
void LoseCamera(HWND window, CaptureState& state)
{
    DropSource(window, state);
    if (!state.cameraLost) {
        state.cameraLost = true;
        NotifyCameraState(window, false);
    }
    state.nextAttemptAt = GetTickCount() + ReconnectDelayMs(state.reconnectAttempt);
    if (state.reconnectAttempt < UINT32_MAX)
        ++state.reconnectAttempt;
}

void TryReconnect(HWND window, CaptureState& state)
{
    if (state.reopening || static_cast<LONG>(GetTickCount() - state.nextAttemptAt) < 0)
        return;
    state.reopening = StartReopen(state.camera, window, kReopenedMessage);
    if (!state.reopening)
        LoseCamera(window, state);
}

void DropReopening(CaptureState& state)
{
    LetGoOfReopen(state.reopening);
    state.reopening = nullptr;
}

void OnReopened(HWND window, CaptureState& state, LPARAM which)
{
    // A message about an attempt let go of (another driver connected meanwhile) is not
    // this one's, even where a new attempt got the old one's address.
    std::unique_ptr<VideoSource> source;
    if (!state.reopening || reinterpret_cast<LPARAM>(state.reopening) != which ||
        !TakeReopened(*state.reopening, source))
        return;
    DropReopening(state);
    if (!source) {
        LoseCamera(window, state);
        return;
    }
    state.source = std::move(source);
    // Found by its place: look for it by its name from now on.
    if (state.camera.name.empty())
        state.source->Identify(state.camera);
    // Started without a camera, the preview had nothing to time.
    UpdatePreviewTimer(window, state);
}

void OnCameraTimer(HWND window, CaptureState& state)
{
    if (!state.cameraWanted || state.inDialog)
        return;
    if (!state.source) {
        TryReconnect(window, state);
        return;
    }
    switch (state.source->Health()) {
    case SourceHealth::Starting:
        break;
    case SourceHealth::Stale:
        LoseCamera(window, state);
        break;
    case SourceHealth::Fresh:
        if (state.cameraLost) {
            state.cameraLost = false;
            state.reconnectAttempt = 0;
            NotifyCameraState(window, true);
            RefreshFrame(window, state);
            InvalidateRect(window, nullptr, FALSE);
        }
        break;
    }
}

void StopWatchingCamera(HWND window, CaptureState& state)
{
    KillTimer(window, kCameraTimer);
    DropReopening(state);
    state.cameraWanted = false;
    state.cameraLost = false;
    state.reconnectAttempt = 0;
    state.camera = CameraIdentity{};
}

LRESULT OnDriverConnect(HWND window, CaptureState& state, unsigned driverIndex)
{
    // The dialog's source is in use further up the stack.
    if (state.inDialog)
        return FALSE;
    // A device can be opened only once: let go of the old one first.
    StopWatchingCamera(window, state);
    DropSource(window, state);
    state.source = OpenVideoSource(driverIndex);
    if (IsCameraDriver(driverIndex)) {
        state.cameraWanted = true;
        state.camera.index = driverIndex;
        if (state.source)
            state.source->Identify(state.camera);
        else
            LoseCamera(window, state);
        SetTimer(window, kCameraTimer, kCameraCheckMs, nullptr);
    }
    RefreshFrame(window, state);
    UpdatePreviewTimer(window, state);
    InvalidateRect(window, nullptr, FALSE);
    return state.source ? TRUE : FALSE;
}

LRESULT OnDriverDisconnect(HWND window, CaptureState& state)
{
    if (state.inDialog)
        return FALSE;
    bool hadSource = state.source != nullptr;
    StopWatchingCamera(window, state);
    DropSource(window, state);
    UpdatePreviewTimer(window, state);
    return hadSource ? TRUE : FALSE;
}

LRESULT OnSetPreview(HWND window, CaptureState& state, bool on)
{
    state.previewOn = on;
    UpdatePreviewTimer(window, state);
    if (on)
        RefreshFrame(window, state);
    return state.source ? TRUE : FALSE;
}

LRESULT OnSetPreviewRate(HWND window, CaptureState& state, UINT milliseconds)
{
    state.previewRate = milliseconds > 0 ? milliseconds : 1;
    UpdatePreviewTimer(window, state);
    return state.source ? TRUE : FALSE;
}

LRESULT OnSetScale(HWND window, CaptureState& state, bool stretch)
{
    state.scale = stretch;
    InvalidateRect(window, nullptr, FALSE);
    return state.source ? TRUE : FALSE;
}

void FreeState(CaptureState* state)
{
    const bool comStarted = state->comStarted;
    delete state;
    if (comStarted)
        CoUninitialize();
}

LRESULT OnDialog(HWND window, CaptureState& state, SourceDialog which)
{
    if (!state.source || state.inDialog)
        return FALSE;
    // The camera timer still ticks in the dialog's loop; while the graph stands still
    // for it, the source must not be judged lost and destroyed under the dialog.
    state.inDialog = true;
    bool shown = state.source->ShowDialog(which, window);
    state.inDialog = false;
    // The loop may have seen the window destroyed: the source and the state were left
    // for this frame to free.
    if (state.destroyed)
        FreeState(&state);
    return shown ? TRUE : FALSE;
}

LRESULT OnSaveDib(HWND window, CaptureState& state, const char* name)
{
    if (!name)
        return FALSE;
    if (!state.source || !state.source->GrabFrame(state.scratch)) {
        // An older picture left under this name (the fixed slot) must not pass for
        // the current frame.
        DeleteFileA(name);
        return FALSE;
    }
    bool written = WriteWholeFile(name, state.scratch);
    ShowScratchFrame(window, state);
    return written ? TRUE : FALSE;
}

// A failed request leaves the receiver's frame empty: nothing to save.
LRESULT OnGetFrame(HWND window, CaptureState& state, CapturedFrame* out)
{
    if (!out)
        return FALSE;
    *out = CapturedFrame{};
    if (!state.source || !state.source->GrabFrame(state.scratch))
        return FALSE;
    ShowScratchFrame(window, state);
    out->bmp = state.frame.data();
    out->size = state.frame.size();
    return TRUE;
}

void OnTimer(HWND window, CaptureState& state)
{
    if (state.previewOn)
        RefreshFrame(window, state);
}

// A frozen picture would pass for a live one: while the camera is away, say so instead.
void PaintNoCamera(HDC dc, const RECT& client)
{
    FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    const Selection font(dc, GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 255, 255));
    RECT text = client;
    DrawTextA(dc, kNoCameraText, -1, &text, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
}

void OnPaint(HWND window, const CaptureState& state)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT client;
    GetClientRect(window, &client);
    if (state.cameraWanted && (state.cameraLost || !state.viewable)) {
        PaintNoCamera(dc, client);
        EndPaint(window, &paint);
        return;
    }
    if (state.viewable) {
        const BmpView& view = state.view;
        const int rows = view.height < 0 ? -view.height : view.height;
        const auto* info = reinterpret_cast<const BITMAPINFO*>(view.info);
        if (state.scale) {
            SetStretchBltMode(dc, COLORONCOLOR);
            StretchDIBits(dc, 0, 0, client.right, client.bottom, 0, 0, view.width, rows, view.bits, info,
                          DIB_RGB_COLORS, SRCCOPY);
        } else {
            StretchDIBits(dc, 0, 0, view.width, rows, 0, 0, view.width, rows, view.bits, info, DIB_RGB_COLORS, SRCCOPY);
            ExcludeClipRect(dc, 0, 0, view.width, rows);
        }
    }
    if (!(state.viewable && state.scale))
        FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    EndPaint(window, &paint);
}

LRESULT HandleMessage(HWND window, CaptureState& state, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CAP_DRIVER_CONNECT:       return OnDriverConnect(window, state, static_cast<unsigned>(wParam));
    case WM_CAP_DRIVER_DISCONNECT:    return OnDriverDisconnect(window, state);
    case WM_CAP_SET_PREVIEW:          return OnSetPreview(window, state, wParam != 0);
    case WM_CAP_SET_PREVIEWRATE:      return OnSetPreviewRate(window, state, static_cast<UINT>(wParam));
    case WM_CAP_SET_SCALE:            return OnSetScale(window, state, wParam != 0);
    case WM_CAP_DLG_VIDEOSOURCE:      return OnDialog(window, state, SourceDialog::Source);
    case WM_CAP_DLG_VIDEOFORMAT:      return OnDialog(window, state, SourceDialog::Format);
    case WM_CAP_DLG_VIDEODISPLAY:     return OnDialog(window, state, SourceDialog::Display);
    case WM_CAP_DLG_VIDEOCOMPRESSION: return OnDialog(window, state, SourceDialog::Compression);
    case WM_CAP_FILE_SAVEDIB:         return OnSaveDib(window, state, reinterpret_cast<const char*>(lParam));
    case WM_CAP_PELMIX_GET_FRAME:     return OnGetFrame(window, state, reinterpret_cast<CapturedFrame*>(lParam));
    case WM_CAP_PELMIX_STARTING:      return state.source && state.source->Health() == SourceHealth::Starting;
    case kReopenedMessage:
        OnReopened(window, state, lParam);
        return 0;
    case WM_TIMER:
        if (wParam == kPreviewTimer)
            OnTimer(window, state);
        else if (wParam == kCameraTimer)
            OnCameraTimer(window, state);
        return 0;
    case WM_ERASEBKGND: return 1;  // WM_PAINT covers every pixel
    case WM_PAINT:
        OnPaint(window, state);
        return 0;
    case WM_DESTROY:
        KillTimer(window, kPreviewTimer);
        StopWatchingCamera(window, state);
        if (!state.inDialog)
            state.source.reset();
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

LRESULT CALLBACK CaptureWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* state = new (std::nothrow) CaptureState;
        if (!state)
            return FALSE;
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
        state->comStarted = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
        return DefWindowProcA(window, message, wParam, lParam);
    }
    CaptureState* state = StateOf(window);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        if (state && state->inDialog)
            state->destroyed = true;
        else if (state)
            FreeState(state);
        return DefWindowProcA(window, message, wParam, lParam);
    }
    if (!state)
        return DefWindowProcA(window, message, wParam, lParam);
    // Nothing may unwind through the system's frames.
    try {
        return HandleMessage(window, *state, message, wParam, lParam);
    } catch (...) {
        return 0;
    }
}

bool RegisterCaptureClass(HINSTANCE instance)
{
    static bool registered = false;
    if (registered)
        return true;
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof(wc);
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = CaptureWindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = kClassName;
    registered = RegisterClassExA(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    return registered;
}

}  // namespace

HWND CreateCaptureWindow(const char* title, DWORD style, int x, int y, int width, int height, HWND parent, int id)
{
    HINSTANCE instance = GetModuleHandleA(nullptr);
    if (!RegisterCaptureClass(instance))
        return nullptr;
    return CreateWindowExA(0, kClassName, title, style, x, y, width, height, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
}
