// Sends the last saved picture to the FTP server of the settings, on WinINet.
//
// The WinINet calls block, and Wine's FTP client ignores the timeout options: it waits
// 30 s for every reply of a silent server and, in active mode, forever for a server
// that answers STOR but never opens the data connection. So the calls run on a worker
// thread, and the window's thread waits for it with a bounded wait that dispatches no
// message (the upload must not re-enter the window procedure): 15 s to connect and log
// in, then 60 s for the folder change and the transfer. When a bound passes, the upload
// ends as a failure does and the worker is left to finish alone. It owns every handle
// it opens and closes them itself, so nothing of it is ever closed from outside (a
// WinINet handle value is soon reused), and it sends a private copy of the picture, so
// that a worker that never returns cannot keep the next save from replacing the file.
#include "ftp_upload.h"

#include <windows.h>
#include <wininet.h>

#include <cstdio>
#include <memory>
#include <string>

#include "app_state.h"
#include "capture_window.h"
#include "countdown.h"
#include "event_log.h"
#include "settings_store.h"
#include "upload_core.h"
#include "upload_handles.h"

namespace {

// Limits of one upload: connecting and logging in, then the folder change and the transfer.
constexpr DWORD kConnectTimeoutMs = 15000;
constexpr DWORD kDataTimeoutMs = 60000;
// Workers left to finish alone that may be alive at once; beyond that no upload starts
// until one has ended, so a server that swallows every transfer cannot pile up threads.
constexpr int kMostLeftWorkers = 4;

// Everything the worker needs, copied on the window's thread: the worker touches no global.
struct TransferJob {
    std::string server, user, password, dir, localPath, remoteName;
    std::string copyPath;  // the private copy that is sent, deleted by the worker; may be empty
    std::string failure;   // written by the worker: which step failed and how; empty on success
    KernelHandle connectReturned{CreateEventA(nullptr, TRUE, FALSE, nullptr)};

    const std::string& SentPath() const { return copyPath.empty() ? localPath : copyPath; }
};

HANDLE g_leftWorkers[kMostLeftWorkers] = {};

// Forgets the workers that have ended; false when every place is still taken.
bool RoomForAnotherWorker()
{
    bool room = false;
    for (HANDLE& worker : g_leftWorkers) {
        if (worker && WaitForSingleObject(worker, 0) != WAIT_TIMEOUT) {
            CloseHandle(worker);
            worker = nullptr;
        }
        room = room || !worker;
    }
    return room;
}

void LeaveWorker(HANDLE worker)
{
    for (HANDLE& place : g_leftWorkers) {
        if (!place) {
            place = worker;
            return;
        }
    }
    CloseHandle(worker);  // not reached: a place was found free before the worker started
}

// The copies' own folder under the temporary one; empty when there is none.
std::string CopyFolder()
{
    char temp[MAX_PATH];
    const DWORD length = GetTempPathA(sizeof(temp), temp);
    if (length == 0 || length >= sizeof(temp))
        return "";
    std::string folder = std::string(temp) + "Pelmix upload";
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

// Copies whose worker was still running when the program ended stay behind; a copy
// that is still being sent cannot be deleted, so this takes only the stale ones.
void DeleteStaleCopies(const std::string& folder)
{
    WIN32_FIND_DATAA entry;
    HANDLE listing = FindFirstFileA((folder + "\\*.tmp").c_str(), &entry);
    if (listing == INVALID_HANDLE_VALUE)
        return;
    do {
        DeleteFileA((folder + "\\" + entry.cFileName).c_str());
    } while (FindNextFileA(listing, &entry));
    FindClose(listing);
}

// A copy in the copies' folder; empty when none could be made, and then the picture
// itself is sent.
std::string MakePrivateCopy(const std::string& folder, const std::string& localPath)
{
    char copy[MAX_PATH];
    if (folder.empty() || !GetTempFileNameA(folder.c_str(), "pmx", 0, copy))
        return "";
    if (!CopyFileA(localPath.c_str(), copy, FALSE)) {
        DeleteFileA(copy);
        return "";
    }
    return copy;
}

void SetTimeout(HINTERNET handle, DWORD option, DWORD milliseconds)
{
    InternetSetOptionA(handle, option, &milliseconds, sizeof(milliseconds));
}

// The server's last reply says why (a refused login, a full disk); it is kept per thread,
// so only the worker can read it.
void NoteFailure(TransferJob& job, const char* step)
{
    const DWORD error = GetLastError();
    char reply[256] = "";
    DWORD replyError = 0;
    DWORD length = sizeof(reply);
    if (!InternetGetLastResponseInfoA(&replyError, reply, &length) || length >= sizeof(reply))
        reply[0] = '\0';
    char text[400];
    if (reply[0])
        snprintf(text, sizeof(text), "%s: %s", step, reply);
    else
        snprintf(text, sizeof(text), "%s: エラー %lu", step, static_cast<unsigned long>(error));
    job.failure = text;
}

void Transfer(TransferJob& job)
{
    InternetHandle root(InternetOpenA("Pelmix", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!root) {
        NoteFailure(job, "WinINetを開けません");
        return;
    }
    SetTimeout(root.get(), INTERNET_OPTION_CONNECT_TIMEOUT, kConnectTimeoutMs);
    SetTimeout(root.get(), INTERNET_OPTION_SEND_TIMEOUT, kDataTimeoutMs);
    SetTimeout(root.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, kDataTimeoutMs);
    SetTimeout(root.get(), INTERNET_OPTION_DATA_SEND_TIMEOUT, kDataTimeoutMs);
    SetTimeout(root.get(), INTERNET_OPTION_DATA_RECEIVE_TIMEOUT, kDataTimeoutMs);
    // Flags 0: no passive-mode request, so the data connection is an active one.
    InternetHandle connection(InternetConnectA(root.get(), job.server.c_str(), INTERNET_DEFAULT_FTP_PORT,
                                               job.user.c_str(), job.password.c_str(),
                                               INTERNET_SERVICE_FTP, 0, 0));
    if (!connection)
        NoteFailure(job, "接続かログインに失敗");
    SetEvent(job.connectReturned.get());
    if (!connection)
        return;
    // A folder that cannot be entered leaves the file in the login folder.
    FtpSetCurrentDirectoryA(connection.get(), job.dir.c_str());
    if (!FtpPutFileA(connection.get(), job.SentPath().c_str(), job.remoteName.c_str(), FTP_TRANSFER_TYPE_BINARY, 0))
        NoteFailure(job, "送信に失敗");
}

DWORD WINAPI TransferThread(void* param)
{
    std::unique_ptr<std::shared_ptr<TransferJob>> holder(static_cast<std::shared_ptr<TransferJob>*>(param));
    TransferJob& job = **holder;
    Transfer(job);
    // Set on every path, so the window's thread never waits the whole connect limit in vain.
    SetEvent(job.connectReturned.get());
    if (!job.copyPath.empty())
        DeleteFileA(job.copyPath.c_str());
    return 0;
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

void LogUploadFailure(const TransferJob& job, const char* why)
{
    char text[512];
    snprintf(text, sizeof(text), "アップロードに失敗しました (サーバー %s, %s)", job.server.c_str(), why);
    LogEvent(text);
}

void SendToServer(const std::shared_ptr<TransferJob>& job)
{
    if (!RoomForAnotherWorker()) {
        LogUploadFailure(*job, "前のアップロードがまだ終わっていません");
        return;
    }
    if (!job->connectReturned)
        return;
    const std::string copyFolder = CopyFolder();
    DeleteStaleCopies(copyFolder);
    job->copyPath = MakePrivateCopy(copyFolder, job->localPath);
    auto* param = new std::shared_ptr<TransferJob>(job);
    KernelHandle worker(CreateThread(nullptr, 0, TransferThread, param, 0, nullptr));
    if (!worker) {
        delete param;
        if (!job->copyPath.empty())
            DeleteFileA(job->copyPath.c_str());
        return;
    }
    if (!WaitForWorker(worker.get(), job->connectReturned.get())) {
        LeaveWorker(worker.release());
        LogUploadFailure(*job, "時間内に終わりません");
    } else if (!job->failure.empty()) {
        LogUploadFailure(*job, job->failure.c_str());
    }
}

void SetPreview(bool on)
{
    if (IsWindow(g_captureWindow))
        SendMessageA(g_captureWindow, WM_CAP_SET_PREVIEW, on ? 1 : 0, 0);
}

}  // namespace

void UploadLastImage()
{
    // Running out of memory ends the upload as any failure does: title, countdown and
    // preview are restored all the same.
    try {
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
    } catch (...) {
    }

    SetWindowTextA(g_mainWindow, g_appTitle);
    g_countdown = CountdownForPeriod(ReadSetting(Setting::timer));
    SetPreview(true);
}
