// Cameras reopened on one thread of their own, one attempt after another.
#include "camera_reopen.h"

#include <objbase.h>

#include <new>

struct ReopenAttempt {
    CameraIdentity camera;
    HWND window = nullptr;
    UINT message = 0;
    std::unique_ptr<VideoSource> source;  // written by the thread before `ended` is set
    LONG ended = 0;
    LONG holders = 2;  // the window and the thread
    ReopenAttempt* next = nullptr;  // in the thread's queue
};

namespace {

void LetGo(ReopenAttempt* attempt)
{
    if (InterlockedDecrement(&attempt->holders) == 0)
        delete attempt;
}

// The attempts waiting for the thread, oldest first. Made at the first attempt and never
// freed: the thread uses it for the rest of the process, and a static owner would be
// destroyed at exit under it.
struct Reopener {
    CRITICAL_SECTION lock;
    HANDLE wake = nullptr;  // auto-reset: set when an attempt is queued
    ReopenAttempt* first = nullptr;
    ReopenAttempt* last = nullptr;
};

Reopener* g_reopener = nullptr;  // set once, by the window's thread

ReopenAttempt* Pop(Reopener& reopener)
{
    EnterCriticalSection(&reopener.lock);
    ReopenAttempt* attempt = reopener.first;
    if (attempt) {
        reopener.first = attempt->next;
        if (!reopener.first)
            reopener.last = nullptr;
    }
    LeaveCriticalSection(&reopener.lock);
    return attempt;
}

void Run(ReopenAttempt& attempt, bool comStarted)
{
    // Nobody waits for an attempt the window has let go of while it was queued.
    if (comStarted && InterlockedCompareExchange(&attempt.holders, 0, 0) > 1) {
        try {
            attempt.source = OpenCameraSource(attempt.camera);
        } catch (...) {
            attempt.source.reset();
        }
    }
    InterlockedExchange(&attempt.ended, 1);
    // The window may be gone; its own hold tells it which attempt the message is about.
    PostMessageA(attempt.window, attempt.message, 0, reinterpret_cast<LPARAM>(&attempt));
    LetGo(&attempt);
}

DWORD WINAPI ReopenThread(void* parameter)
{
    // The multithreaded apartment, held by this thread for the rest of the process. A
    // source is made here and then used and released on the window's thread: DirectShow's
    // objects are free-threaded, so their pointers need no marshalling, but they belong to
    // the apartment that made them, and an apartment torn down (its last thread gone)
    // would take them along. CameraSource::Open then finds COM started in another mode,
    // which it accepts, and leaves the apartment to this thread.
    const bool comStarted = SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
    auto& reopener = *static_cast<Reopener*>(parameter);
    for (;;) {
        WaitForSingleObject(reopener.wake, INFINITE);
        while (ReopenAttempt* attempt = Pop(reopener))
            Run(*attempt, comStarted);
    }
}

Reopener* TheReopener()
{
    if (g_reopener)
        return g_reopener;
    auto* reopener = new (std::nothrow) Reopener;
    if (!reopener)
        return nullptr;
    InitializeCriticalSection(&reopener->lock);
    reopener->wake = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    HANDLE thread = reopener->wake ? CreateThread(nullptr, 0, ReopenThread, reopener, 0, nullptr) : nullptr;
    if (!thread) {
        if (reopener->wake)
            CloseHandle(reopener->wake);
        DeleteCriticalSection(&reopener->lock);
        delete reopener;
        return nullptr;
    }
    CloseHandle(thread);
    g_reopener = reopener;
    return reopener;
}

}  // namespace

ReopenAttempt* StartReopen(const CameraIdentity& camera, HWND window, UINT message)
{
    Reopener* reopener = TheReopener();
    auto* attempt = reopener ? new (std::nothrow) ReopenAttempt : nullptr;
    if (!attempt)
        return nullptr;
    try {
        attempt->camera = camera;
    } catch (...) {
        delete attempt;
        return nullptr;
    }
    attempt->window = window;
    attempt->message = message;
    EnterCriticalSection(&reopener->lock);
    if (reopener->last)
        reopener->last->next = attempt;
    else
        reopener->first = attempt;
    reopener->last = attempt;
    LeaveCriticalSection(&reopener->lock);
    SetEvent(reopener->wake);
    return attempt;
}

bool TakeReopened(ReopenAttempt& attempt, std::unique_ptr<VideoSource>& source)
{
    if (InterlockedCompareExchange(&attempt.ended, 0, 0) == 0)
        return false;
    source = std::move(attempt.source);
    return true;
}

void LetGoOfReopen(ReopenAttempt* attempt)
{
    if (attempt)
        LetGo(attempt);
}
