// Sends a picture to an FTP server, on libcurl.
//
// The transfer runs on a worker thread and the window's thread never waits on it: the
// worker posts a message when it has ended. libcurl bounds every step of the
// conversation itself: the connection, each reply, the server's connection back in
// active mode and a stalled transfer; one deadline covers all attempts of one upload,
// and past a last limit the worker stops whatever it is doing. Only one upload is ever
// in flight, so no two transfers can race to the same remote name.
#include "ftp_upload.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string>

#include <curl/curl.h>

#include "sftp_transfer.h"
#include "upload_folder.h"
#include "upload_handles.h"

namespace {

constexpr long kReplyTimeoutS = 10;        // each reply of the server
constexpr long kAcceptTimeoutMs = 10000;   // the server connecting back in active mode
constexpr ULONGLONG kUploadBudgetMs = 20000;   // every attempt to send the picture together
constexpr ULONGLONG kCleanUpBudgetMs = 28000;  // and removing a temporary file after them
constexpr ULONGLONG kLeastAttemptMs = 1000;    // less than this left: no further attempt
constexpr ULONGLONG kStopAfterMs = 29000;      // then the worker stops whatever it does

struct TransferJob {
    UploadPlan plan;
    HWND window = nullptr;  // told by endMessage when the transfer has ended
    UINT endMessage = 0;
    std::string copyPath;  // where the private copy goes; empty when the picture itself is sent
    ULONGLONG deadline = 0;
    ULONGLONG cleanUpDeadline = 0;
    ULONGLONG stopAt = 0;
    volatile LONG stop = 0;  // set by the window's thread when the program closes
    CURLcode result = CURLE_FAILED_INIT;
    // What the server said so far: the login succeeded; a STOR was answered with
    // 1xx, so a (partial) file may be on the server.
    bool loggedIn = false;
    bool storeStarted = false;
    bool reuseOnly = false;   // commands that must run in the folder of the connection before
    int64_t localSize = -1;   // the bytes sent
    int64_t remoteSize = -1;  // the server's answer to SIZE; -1 when it gave none
    char detail[CURL_ERROR_SIZE] = {};
    char lastReply[256] = {};  // the server's last reply line, for the log
    // The failure that explains the outcome, kept before any clean-up talks to the server,
    // and what the steps after it did.
    bool causeKept = false;
    char causeDetail[CURL_ERROR_SIZE] = {};
    char causeReply[256] = {};
    std::string note;
};

// libcurl's own word for a failure. It keeps the first message of a transfer, and in active
// mode that may be one about printing the accepted data connection's address, which failed
// without harm (the transfer went on): that is never the cause.
const char* CurlWord(const TransferJob& job, CURLcode result)
{
    if (job.detail[0] && !strstr(job.detail, "inet_ntop() failed"))
        return job.detail;
    return curl_easy_strerror(result);
}

// The one place that learns how an upload ended: the reply that explains it and libcurl's
// (or the upload's own) word for what went wrong, then what was done about it.
UploadOutcome Outcome(const TransferJob& job)
{
    UploadOutcome outcome;
    outcome.server = job.plan.server;
    if (job.result == CURLE_OK) {
        outcome.result = UploadResult::Sent;
        return outcome;
    }
    outcome.result = UploadResult::Failed;
    if (job.causeKept) {
        outcome.why = job.causeDetail;
        outcome.lastReply = job.causeReply;
    } else {
        outcome.why = CurlWord(job, job.result);
        outcome.lastReply = job.lastReply;
    }
    if (!job.note.empty())
        outcome.why += "; " + job.note;
    return outcome;
}

// The first failure of an upload is the one the log names; text replaces libcurl's word.
void KeepCause(TransferJob& job, CURLcode result, const char* text = nullptr)
{
    if (job.causeKept)
        return;
    job.causeKept = true;
    std::snprintf(job.causeDetail, sizeof(job.causeDetail), "%s",
                  text ? text : CurlWord(job, result));
    memcpy(job.causeReply, job.lastReply, sizeof(job.causeReply));
}

void AddNote(TransferJob& job, const std::string& text)
{
    job.note += (job.note.empty() ? "" : "; ") + text;
}

size_t ReadFromFile(char* buffer, size_t size, size_t count, void* file)
{
    DWORD read = 0;
    const size_t wanted = size * count;
    const DWORD chunk = wanted > 0x100000 ? 0x100000 : static_cast<DWORD>(wanted);
    if (!ReadFile(static_cast<HANDLE>(file), buffer, chunk, &read, nullptr))
        return CURL_READFUNC_ABORT;
    return read;
}

// Every reply line of the server comes here: the codes are looked at, the last line kept.
size_t NoteReply(char* line, size_t size, size_t count, void* param)
{
    TransferJob& job = *static_cast<TransferJob*>(param);
    const size_t length = size * count;
    size_t kept = length < sizeof(job.lastReply) ? length : sizeof(job.lastReply) - 1;
    while (kept > 0 && (line[kept - 1] == '\r' || line[kept - 1] == '\n'))
        --kept;
    memcpy(job.lastReply, line, kept);
    job.lastReply[kept] = '\0';
    const int64_t remoteSize = SizeReply(line, length);
    if (remoteSize >= 0)
        job.remoteSize = remoteSize;
    if (length >= 4 && line[3] == ' ') {
        const std::string code(line, 3);
        if (code == "230")
            job.loggedIn = true;
        else if (code == "125" || code == "150")
            job.storeStarted = true;
    }
    return length;
}

bool StopWanted(TransferJob& job)
{
    return InterlockedCompareExchange(&job.stop, 0, 0) != 0 || GetTickCount64() >= job.stopAt;
}

int CheckStop(void* job, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    return StopWanted(*static_cast<TransferJob*>(job)) ? 1 : 0;
}

// Where commands must run on the connection before (they name files relative to the
// folder it entered), no new connection is opened: libcurl then reports that it could
// not connect, instead of running them in the login folder of a new one.
curl_socket_t OpenSocket(void* param, curlsocktype, curl_sockaddr* address)
{
    if (static_cast<TransferJob*>(param)->reuseOnly)
        return CURL_SOCKET_BAD;
    return socket(address->family, address->socktype, address->protocol);
}

void SetCommonOptions(CURL* curl, TransferJob& job)
{
    const UploadPlan& plan = job.plan;
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    // Straight to the server: no proxy from the environment (ftp_proxy, all_proxy).
    curl_easy_setopt(curl, CURLOPT_PROXY, "");
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, job.detail);
    curl_easy_setopt(curl, CURLOPT_USERNAME, plan.user.c_str());
    curl_easy_setopt(curl, CURLOPT_PASSWORD, plan.password.c_str());
    // The folder change is a command of its own whose failure is ignored (see Transfer),
    // so the name is sent as it is, in whatever folder is current.
    curl_easy_setopt(curl, CURLOPT_FTP_FILEMETHOD, static_cast<long>(CURLFTPMETHOD_NOCWD));
    curl_easy_setopt(curl, CURLOPT_TRANSFERTEXT, 0L);
    // PORT, which every FTP server knows, rather than EPRT first.
    curl_easy_setopt(curl, CURLOPT_FTP_USE_EPRT, 0L);
    SetTransferLimits(curl, CheckStop, &job);
    curl_easy_setopt(curl, CURLOPT_FTP_RESPONSE_TIMEOUT, kReplyTimeoutS);
    curl_easy_setopt(curl, CURLOPT_ACCEPTTIMEOUT_MS, kAcceptTimeoutMs);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, NoteReply);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &job);
    curl_easy_setopt(curl, CURLOPT_OPENSOCKETFUNCTION, OpenSocket);
    curl_easy_setopt(curl, CURLOPT_OPENSOCKETDATA, &job);
    if (plan.tls != FtpTls::none) {
        // Control and data connections both under TLS, or no upload at all.
        curl_easy_setopt(curl, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_ALL));
        curl_easy_setopt(curl, CURLOPT_FTPSSLAUTH, static_cast<long>(CURLFTPAUTH_TLS));
        curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, plan.insecure ? 0L : 1L);
        curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, plan.insecure ? 0L : 2L);
        // A certificate without a revocation list (or no way to reach one) is not
        // refused for that alone; a listed revocation still is.
        curl_easy_setopt(curl, CURLOPT_SSL_OPTIONS, static_cast<long>(CURLSSLOPT_REVOKE_BEST_EFFORT));
    }
}

void WaitForSockets(CURLM* multi)
{
    fd_set readable, writable, failed;
    FD_ZERO(&readable);
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    int highest = -1;
    long wanted = -1;
    curl_multi_fdset(multi, &readable, &writable, &failed, &highest);
    curl_multi_timeout(multi, &wanted);
    const long waitMs = wanted >= 0 && wanted < 100 ? wanted : 100;
    if (highest < 0) {
        Sleep(static_cast<DWORD>(waitMs));
        return;
    }
    timeval limit = {0, waitMs * 1000};
    select(highest + 1, &readable, &writable, &failed, &limit);
}

// Drives one transfer with the multi interface and a plain select() of at most 100 ms at
// a time. libcurl's own wait (curl_easy_perform) never wakes under Wine while a server is
// to connect back in active mode, so neither its timeouts nor the stop flag would ever be
// seen; here every timeout and the flag are looked at ten times a second.
CURLcode RunToEnd(CURL* curl, CURLM* multi, TransferJob& job)
{
    CURLcode result = CURLE_FAILED_INIT;
    if (curl_multi_add_handle(multi, curl) == CURLM_OK) {
        int running = 1;
        while (running) {
            if (curl_multi_perform(multi, &running) != CURLM_OK)
                break;
            if (!running)
                break;
            if (StopWanted(job)) {
                result = CURLE_ABORTED_BY_CALLBACK;
                break;
            }
            WaitForSockets(multi);
        }
        int left = 0;
        while (CURLMsg* message = curl_multi_info_read(multi, &left)) {
            if (message->msg == CURLMSG_DONE && message->easy_handle == curl)
                result = message->data.result;
        }
        curl_multi_remove_handle(multi, curl);
    }
    return result;
}

// One conversation: login, the commands before, the transfer (or none without a file),
// the commands after. It may reuse the connection of the one before.
struct Attempt {
    std::string url;
    HANDLE file = nullptr;
    curl_slist* before = nullptr;
    curl_slist* after = nullptr;
    bool passive = false;
};

CURLcode Perform(const CurlTransfer& transfer, TransferJob& job, const Attempt& attempt)
{
    const ULONGLONG now = GetTickCount64();
    if (now + kLeastAttemptMs > job.deadline)
        return CURLE_OPERATION_TIMEDOUT;
    curl_easy_setopt(transfer.get(), CURLOPT_TIMEOUT_MS, static_cast<long>(job.deadline - now));
    curl_easy_setopt(transfer.get(), CURLOPT_URL, attempt.url.c_str());
    curl_easy_setopt(transfer.get(), CURLOPT_FTPPORT, attempt.passive ? nullptr : "-");
    curl_easy_setopt(transfer.get(), CURLOPT_QUOTE, attempt.before);
    curl_easy_setopt(transfer.get(), CURLOPT_POSTQUOTE, attempt.after);
    if (attempt.file) {
        LARGE_INTEGER size = {};
        if (!GetFileSizeEx(attempt.file, &size) || !SetFilePointerEx(attempt.file, LARGE_INTEGER{}, nullptr, FILE_BEGIN))
            return CURLE_READ_ERROR;
        job.localSize = size.QuadPart;
        curl_easy_setopt(transfer.get(), CURLOPT_NOBODY, 0L);
        curl_easy_setopt(transfer.get(), CURLOPT_UPLOAD, 1L);
        curl_easy_setopt(transfer.get(), CURLOPT_READFUNCTION, ReadFromFile);
        curl_easy_setopt(transfer.get(), CURLOPT_READDATA, attempt.file);
        curl_easy_setopt(transfer.get(), CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(size.QuadPart));
    } else {
        curl_easy_setopt(transfer.get(), CURLOPT_UPLOAD, 0L);
        curl_easy_setopt(transfer.get(), CURLOPT_NOBODY, 1L);
    }
    job.detail[0] = '\0';
    job.remoteSize = -1;
    return RunToEnd(transfer.get(), transfer.multi(), job);
}

std::string FolderChange(const std::string& dir)
{
    // A leading "*": a folder that cannot be entered leaves the file in the login folder.
    return dir.empty() ? "*CWD" : "*CWD " + dir;
}

// Passive mode failed after the login for a reason that active mode may not share.
bool WorthActiveMode(const TransferJob& job, CURLcode result)
{
    switch (result) {
    case CURLE_OK:
    case CURLE_ABORTED_BY_CALLBACK:
    case CURLE_LOGIN_DENIED:
        return false;
    default:
        return job.loggedIn;
    }
}

// Commands alone, no transfer, on the connection of the step before, so that they run in
// the folder it entered; when that connection is gone, on a fresh login that enters the
// folder again.
CURLcode RunCommands(const CurlTransfer& transfer, TransferJob& job, std::initializer_list<std::string> commands)
{
    const UploadPlan& plan = job.plan;
    CURLcode result = CURLE_OUT_OF_MEMORY;
    for (const bool fresh : {false, true}) {
        CurlCommands list;
        if (fresh && !list.Add(FolderChange(plan.dir).c_str()))
            return CURLE_OUT_OF_MEMORY;
        for (const std::string& command : commands) {
            if (!list.Add(command.c_str()))
                return CURLE_OUT_OF_MEMORY;
        }
        Attempt attempt;
        attempt.url = FtpUrl(plan.tls, plan.server, plan.port, "");
        attempt.before = list.get();
        attempt.passive = plan.mode != FtpMode::active;
        job.reuseOnly = !fresh;
        result = Perform(transfer, job, attempt);
        job.reuseOnly = false;
        if (result != CURLE_COULDNT_CONNECT)
            break;
    }
    return result;
}

// After an atomic upload failed once the STOR began: the temporary file is removed, so
// that none is left behind. Time is kept aside for this; should the server not answer
// even so, the file left is replaced and renamed away by the next upload.
CURLcode RemoveTemporary(const CurlTransfer& transfer, TransferJob& job, CURLcode result)
{
    if (!job.storeStarted || result == CURLE_ABORTED_BY_CALLBACK)
        return result;
    job.deadline = job.cleanUpDeadline;
    const bool removed = RunCommands(transfer, job, {"DELE " + AtomicTempName(job.plan.remoteName)}) == CURLE_OK;
    AddNote(job, std::string(removed ? "一時ファイルを削除しました (" : "一時ファイルを削除できませんでした (") +
                     job.lastReply + ")");
    return result;
}

// The new picture is whole under the temporary name; its size on the server is checked
// before it takes the name. A server that will not rename onto an existing name has the
// old picture renamed aside first, which also shows that it renames onto a free name at
// all; the old one is deleted only once the new one has the name, and is renamed back
// when the new one cannot get it. So the name is never left without a picture.
CURLcode FinishAtomic(const CurlTransfer& transfer, TransferJob& job)
{
    const std::string& name = job.plan.remoteName;
    const std::string temp = AtomicTempName(name);
    const std::string old = AtomicOldName(name);
    if (job.remoteSize >= 0 && job.remoteSize != job.localSize) {
        char text[160];
        std::snprintf(text, sizeof(text), "サーバーに届いたのは %lld バイト中 %lld バイトでした。前の画像を残しました",
                      static_cast<long long>(job.localSize), static_cast<long long>(job.remoteSize));
        KeepCause(job, CURLE_PARTIAL_FILE, text);
        return RemoveTemporary(transfer, job, CURLE_PARTIAL_FILE);
    }
    const CURLcode result = RunCommands(transfer, job, {"RNFR " + temp, "RNTO " + name});
    if (result != CURLE_QUOTE_ERROR) {
        if (result != CURLE_OK)
            KeepCause(job, result);
        return result == CURLE_OK ? result : RemoveTemporary(transfer, job, result);
    }
    KeepCause(job, result, "名前の変更を断られました");
    if (RunCommands(transfer, job, {"*DELE " + old, "RNFR " + name, "RNTO " + old}) != CURLE_OK) {
        AddNote(job, "このサーバーでは名前を変えられないため前の画像を残しました (ftp_atomic=0 なら直接上書きします)");
        return RemoveTemporary(transfer, job, result);
    }
    // The name is free until a picture takes it again: the time kept aside is for this too.
    job.deadline = job.cleanUpDeadline;
    if (RunCommands(transfer, job, {"RNFR " + temp, "RNTO " + name}) == CURLE_OK) {
        // Should this fail, the next upload deletes the old picture before it moves one aside.
        RunCommands(transfer, job, {"DELE " + old});
        return CURLE_OK;
    }
    const bool back = RunCommands(transfer, job, {"RNFR " + old, "RNTO " + name}) == CURLE_OK;
    AddNote(job, back ? "前の画像を元の名前に戻しました" : "前の画像は " + old + " に残っています");
    return RemoveTemporary(transfer, job, result);
}

CURLcode Transfer(TransferJob& job, HANDLE file)
{
    const UploadPlan& plan = job.plan;
    if (!plan.refused.empty()) {
        std::snprintf(job.detail, sizeof(job.detail), "%s", plan.refused.c_str());
        return CURLE_BAD_FUNCTION_ARGUMENT;
    }
    if (plan.protocol == UploadProtocol::sftp) {
        const SftpControl control{job.deadline, job.cleanUpDeadline, &job.stop, job.detail, job.stopAt};
        ShownHostKey shown;
        const CURLcode result = SendBySftp(plan, file, control, shown);
        return file || result != CURLE_OK ? result : CURLE_READ_ERROR;  // logged in, but nothing to send
    }
    if (!PlanIsSendable(plan))
        return CURLE_URL_MALFORMAT;
    CurlTransfer curl;
    if (!curl)
        return CURLE_OUT_OF_MEMORY;
    SetCommonOptions(curl.get(), job);

    const std::string target = plan.atomic ? AtomicTempName(plan.remoteName) : plan.remoteName;
    CurlCommands before, sizeCheck;
    if (!before.Add(FolderChange(plan.dir).c_str()))
        return CURLE_OUT_OF_MEMORY;
    // The size the server holds, for the check before the rename; a server without SIZE
    // leaves it unknown.
    if (plan.atomic && !sizeCheck.Add(("*SIZE " + target).c_str()))
        return CURLE_OUT_OF_MEMORY;

    Attempt attempt;
    attempt.url = FtpUrl(plan.tls, plan.server, plan.port, file ? target : "");
    attempt.file = file;
    attempt.before = before.get();
    attempt.after = file ? sizeCheck.get() : nullptr;
    attempt.passive = plan.mode != FtpMode::active;
    CURLcode result = Perform(curl, job, attempt);
    if (plan.mode == FtpMode::automatic && WorthActiveMode(job, result)) {
        attempt.passive = false;
        result = Perform(curl, job, attempt);
    }
    if (!file)
        return result == CURLE_OK ? CURLE_READ_ERROR : result;  // logged in, but nothing to send
    if (!plan.atomic)
        return result;
    if (result != CURLE_OK) {
        KeepCause(job, result);
        return RemoveTemporary(curl, job, result);
    }
    return FinishAtomic(curl, job);
}

// The copy, opened so that it deletes itself when its last handle goes, also when the
// program ends while the transfer still runs. The picture itself when no copy can be had;
// without a picture (none saved yet, or gone) the login still happens and the upload
// fails: an empty file is never stored in its place.
HANDLE OpenWhatIsSent(const TransferJob& job)
{
    // The copy is made on the worker: the image folder may be a share that takes its time.
    if (!job.copyPath.empty() && CopyFileA(job.plan.localPath.c_str(), job.copyPath.c_str(), FALSE)) {
        const HANDLE copy = CreateFileA(job.copyPath.c_str(), GENERIC_READ | DELETE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (copy != INVALID_HANDLE_VALUE)
            return copy;
        DeleteFileA(job.copyPath.c_str());
    }
    return CreateFileA(job.plan.localPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

DWORD WINAPI TransferThread(void* param)
{
    TransferJob& job = *static_cast<TransferJob*>(param);
    const ULONGLONG start = GetTickCount64();
    job.deadline = start + kUploadBudgetMs;
    job.cleanUpDeadline = start + kCleanUpBudgetMs;
    job.stopAt = start + kStopAfterMs;
    {
        const KernelHandle file(OpenWhatIsSent(job));
        job.result = Transfer(job, file.get());
    }
    // The last thing done: from here on the window's thread owns the job again. A full
    // queue is waited out; a window that is gone has nobody left to tell.
    while (!PostMessageA(job.window, job.endMessage, 0, 0) && IsWindow(job.window))
        Sleep(100);
    return 0;
}

// The upload in flight: made, finished and abandoned by the window's thread only; the
// worker reads its job and writes its result until it posts the end message.
TransferJob* g_job = nullptr;
HANDLE g_worker = nullptr;

void ForgetUpload()
{
    CloseHandle(g_worker);
    delete g_job;
    g_worker = nullptr;
    g_job = nullptr;
}

}  // namespace

bool PlanIsSendable(const UploadPlan& plan)
{
    return UsableServerName(plan.server) && UsableFtpArgument(plan.dir) && UsableFtpArgument(plan.remoteName) &&
           UsableFtpArgument(plan.user) && UsableFtpArgument(plan.password);
}

bool StartUpload(const UploadPlan& plan, HWND window, UINT endMessage)
{
    static const bool curlReady = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    if (g_job || !curlReady)
        return false;
    g_job = new TransferJob;
    g_job->plan = plan;
    g_job->window = window;
    g_job->endMessage = endMessage;
    // Its name belongs to this program's folder: a copy left by an earlier run here is
    // replaced, another instance's is never touched. Without one the picture itself is sent.
    g_job->copyPath = UploadFolderFile(UploadCopyName);
    g_worker = CreateThread(nullptr, 0, TransferThread, g_job, 0, nullptr);
    if (!g_worker) {
        delete g_job;
        g_job = nullptr;
        return false;
    }
    return true;
}

bool UploadRunning() { return g_job != nullptr; }

UploadOutcome FinishUpload()
{
    if (!g_job)
        return UploadOutcome();
    // The worker has posted its last word; only its own exit may still be under way.
    WaitForSingleObject(g_worker, INFINITE);
    UploadOutcome outcome = Outcome(*g_job);
    ForgetUpload();
    return outcome;
}

void AbandonUpload(DWORD waitMs)
{
    if (!g_job)
        return;
    InterlockedExchange(&g_job->stop, 1);
    // A worker that does not end in time is left to the end of the process, its job with it.
    if (WaitForSingleObject(g_worker, waitMs) == WAIT_OBJECT_0)
        ForgetUpload();
}
