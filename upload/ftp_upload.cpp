// Sends the last saved picture to the FTP server of the settings, on WinINet.
//
// The WinINet calls block, and Wine's FTP client ignores the timeout options: it waits
// 30 s for every reply of a silent server and, in active mode, forever for a server
// that answers STOR but never opens the data connection. So the calls run on a worker
// thread, and the window's thread waits for it with a bounded wait that dispatches no
// message (the upload must not re-enter the window procedure): 15 s to connect and log
// in, then 60 s for the folder change and the transfer. When a bound passes, the root
// handle is closed, which cancels what can be cancelled, and the upload ends as a
// failure does. A worker that still cannot return is left to end alone, and no new
// transfer starts before it has, so no handle of it is ever mistaken for a new one.
#include "ftp_upload.h"

#include <windows.h>
#include <wininet.h>

#include <memory>
#include <string>

#include "app_state.h"
#include "capture_window.h"
#include "countdown.h"
#include "settings_store.h"
#include "upload_core.h"
#include "upload_handles.h"

namespace {

// Limits of one upload: connecting and logging in, then the folder change and the transfer.
constexpr DWORD kConnectTimeoutMs = 15000;
constexpr DWORD kDataTimeoutMs = 60000;
// After the root handle is closed, how long a cancelled call gets to return.
constexpr DWORD kCancelGraceMs = 2000;

// Everything the worker needs, copied on the window's thread: the worker touches no global.
struct TransferJob {
    HINTERNET root = nullptr;  // owned and closed by the window's thread
    std::string server, user, password, dir, localPath, remoteName;
    KernelHandle connectReturned{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
};

// A worker that outlived its wait; while it runs, no other transfer starts.
HANDLE g_strandedWorker = nullptr;

bool StrandedWorkerRunning()
{
    if (!g_strandedWorker)
        return false;
    if (WaitForSingleObject(g_strandedWorker, 0) == WAIT_TIMEOUT)
        return true;
    CloseHandle(g_strandedWorker);
    g_strandedWorker = nullptr;
    return false;
}

DWORD WINAPI TransferThread(void* param)
{
    std::unique_ptr<std::shared_ptr<TransferJob>> holder(static_cast<std::shared_ptr<TransferJob>*>(param));
    const TransferJob& job = **holder;
    // Flags 0: no passive-mode request, so the data connection is an active one.
    InternetHandle connection(InternetConnectA(job.root, job.server.c_str(), INTERNET_DEFAULT_FTP_PORT,
                                               job.user.c_str(), job.password.c_str(),
                                               INTERNET_SERVICE_FTP, 0, 0));
    SetEvent(job.connectReturned.get());
    if (!connection)
        return 0;
    // A folder that cannot be entered leaves the file in the login folder.
    FtpSetCurrentDirectoryA(connection.get(), job.dir.c_str());
    FtpPutFileA(connection.get(), job.localPath.c_str(), job.remoteName.c_str(), FTP_TRANSFER_TYPE_BINARY, 0);
    return 0;
}

void SetTimeout(HINTERNET handle, DWORD option, DWORD milliseconds)
{
    InternetSetOptionA(handle, option, &milliseconds, sizeof(milliseconds));
}

bool WaitForWorker(HANDLE worker, HANDLE connectReturned)
{
    HANDLE first[] = {worker, connectReturned};
    DWORD result = WaitForMultipleObjects(2, first, FALSE, kConnectTimeoutMs);
    if (result == WAIT_OBJECT_0)
        return true;
    if (result != WAIT_OBJECT_0 + 1)
        return false;
    return WaitForSingleObject(worker, kDataTimeoutMs) == WAIT_OBJECT_0;
}

void SendToServer(const std::shared_ptr<TransferJob>& job)
{
    if (StrandedWorkerRunning() || !job->connectReturned)
        return;
    InternetHandle root(InternetOpenA("Pelmix", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!root)
        return;
    SetTimeout(root.get(), INTERNET_OPTION_CONNECT_TIMEOUT, kConnectTimeoutMs);
    SetTimeout(root.get(), INTERNET_OPTION_SEND_TIMEOUT, kDataTimeoutMs);
    SetTimeout(root.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, kDataTimeoutMs);
    SetTimeout(root.get(), INTERNET_OPTION_DATA_SEND_TIMEOUT, kDataTimeoutMs);
    SetTimeout(root.get(), INTERNET_OPTION_DATA_RECEIVE_TIMEOUT, kDataTimeoutMs);
    job->root = root.get();

    auto* param = new std::shared_ptr<TransferJob>(job);
    KernelHandle worker(CreateThread(nullptr, 0, TransferThread, param, 0, nullptr));
    if (!worker) {
        delete param;
        return;
    }
    if (WaitForWorker(worker.get(), job->connectReturned.get()))
        return;  // the worker closed the connection; the root goes now
    root.Close();
    if (WaitForSingleObject(worker.get(), kCancelGraceMs) != WAIT_OBJECT_0)
        g_strandedWorker = worker.release();
}

void SetPreview(bool on)
{
    if (IsWindow(g_captureWindow))
        SendMessageA(g_captureWindow, WM_CAP_SET_PREVIEW, on ? 1 : 0, 0);
}

}  // namespace

void UploadLastImage()
{
    SetWindowTextA(g_mainWindow, UploadTitle(g_appTitle).c_str());

    auto job = std::make_shared<TransferJob>();
    job->server = ReadSetting(Setting::server);
    job->user = ReadSetting(Setting::id);
    job->password = ReadSetting(Setting::pass);
    job->dir = ReadSetting(Setting::dir);
    job->localPath = LocalUploadPath(ReadSetting(Setting::localDir), g_lastSavedFileName);
    job->remoteName = RemoteUploadName(ReadSetting(Setting::dutJpg), g_lastSavedFileName);

    SetPreview(false);
    SendToServer(job);

    SetWindowTextA(g_mainWindow, g_appTitle);
    g_countdown = CountdownForPeriod(ReadSetting(Setting::timer));
    SetPreview(true);
}
