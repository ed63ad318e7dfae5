// Sends a picture to an FTP server, on libcurl.
//
// The transfer runs on a worker thread while the window's thread waits for it without
// dispatching messages (the upload must not re-enter the window procedure). libcurl
// bounds every step of the conversation itself: the connection, each reply, the
// server's connection back in active mode and a stalled transfer; one deadline covers
// all attempts of one upload. Should the worker still run when the window stops
// waiting, a flag asks libcurl to stop and the window waits for the worker to end: no
// worker is ever left behind, so at most one upload is ever in flight and no two
// transfers can race to the same remote name.
#include "ftp_upload.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include <curl/curl.h>

#include "settings_store.h"
#include "sftp_transfer.h"
#include "upload_handles.h"

namespace {

constexpr long kConnectTimeoutMs = 10000;  // TCP, TLS handshake and login
constexpr long kReplyTimeoutS = 10;        // each reply of the server
constexpr long kAcceptTimeoutMs = 10000;   // the server connecting back in active mode
constexpr long kStallSeconds = 10;         // under one byte a second for this long
constexpr ULONGLONG kUploadBudgetMs = 20000;   // every attempt to send the picture together
constexpr ULONGLONG kCleanUpBudgetMs = 28000;  // and removing a temporary file after them
constexpr ULONGLONG kLeastAttemptMs = 1000;    // less than this left: no further attempt
constexpr DWORD kWindowWaitMs = 29000;         // then the worker is asked to stop

struct TransferJob {
    UploadPlan plan;
    std::string copyPath;  // the private copy that is sent; empty when the picture itself is
    ULONGLONG deadline = 0;
    ULONGLONG cleanUpDeadline = 0;
    volatile LONG stop = 0;
    CURLcode result = CURLE_FAILED_INIT;
    // What the server said so far: the login succeeded; a STOR was answered with
    // 1xx, so a (partial) file may be on the server.
    bool loggedIn = false;
    bool storeStarted = false;
    char detail[CURL_ERROR_SIZE] = {};
    char lastReply[256] = {};  // the server's last reply line, for the log
};

// The one place that learns how an upload ended: the server's last reply and libcurl's
// word for what went wrong.
UploadOutcome Outcome(const TransferJob& job)
{
    UploadOutcome outcome;
    if (job.result == CURLE_OK) {
        outcome.result = UploadResult::Sent;
        return outcome;
    }
    outcome.result = UploadResult::Failed;
    outcome.why = job.detail[0] ? job.detail : curl_easy_strerror(job.result);
    outcome.lastReply = job.lastReply;
    return outcome;
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
    if (length >= 4 && line[3] == ' ') {
        const std::string code(line, 3);
        if (code == "230")
            job.loggedIn = true;
        else if (code == "125" || code == "150")
            job.storeStarted = true;
    }
    return length;
}

int CheckStop(void* job, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    return InterlockedCompareExchange(&static_cast<TransferJob*>(job)->stop, 0, 0) != 0 ? 1 : 0;
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
    // PORT, as servers have always seen from this program, rather than EPRT first.
    curl_easy_setopt(curl, CURLOPT_FTP_USE_EPRT, 0L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, kConnectTimeoutMs);
    curl_easy_setopt(curl, CURLOPT_FTP_RESPONSE_TIMEOUT, kReplyTimeoutS);
    curl_easy_setopt(curl, CURLOPT_ACCEPTTIMEOUT_MS, kAcceptTimeoutMs);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, kStallSeconds);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, CheckStop);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &job);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, NoteReply);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &job);
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
CURLcode RunToEnd(CURL* curl, TransferJob& job)
{
    CURLM* multi = curl_multi_init();
    if (!multi)
        return CURLE_OUT_OF_MEMORY;
    CURLcode result = CURLE_FAILED_INIT;
    if (curl_multi_add_handle(multi, curl) == CURLM_OK) {
        int running = 1;
        while (running) {
            if (curl_multi_perform(multi, &running) != CURLM_OK)
                break;
            if (!running)
                break;
            if (InterlockedCompareExchange(&job.stop, 0, 0) != 0) {
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
    curl_multi_cleanup(multi);
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

CURLcode Perform(CURL* curl, TransferJob& job, const Attempt& attempt)
{
    const ULONGLONG now = GetTickCount64();
    if (now + kLeastAttemptMs > job.deadline)
        return CURLE_OPERATION_TIMEDOUT;
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(job.deadline - now));
    curl_easy_setopt(curl, CURLOPT_URL, attempt.url.c_str());
    curl_easy_setopt(curl, CURLOPT_FTPPORT, attempt.passive ? nullptr : "-");
    curl_easy_setopt(curl, CURLOPT_QUOTE, attempt.before);
    curl_easy_setopt(curl, CURLOPT_POSTQUOTE, attempt.after);
    if (attempt.file) {
        LARGE_INTEGER size = {};
        if (!GetFileSizeEx(attempt.file, &size) || !SetFilePointerEx(attempt.file, LARGE_INTEGER{}, nullptr, FILE_BEGIN))
            return CURLE_READ_ERROR;
        curl_easy_setopt(curl, CURLOPT_NOBODY, 0L);
        curl_easy_setopt(curl, CURLOPT_UPLOAD, 1L);
        curl_easy_setopt(curl, CURLOPT_READFUNCTION, ReadFromFile);
        curl_easy_setopt(curl, CURLOPT_READDATA, attempt.file);
        curl_easy_setopt(curl, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(size.QuadPart));
    } else {
        curl_easy_setopt(curl, CURLOPT_UPLOAD, 0L);
        curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
    }
    job.detail[0] = '\0';
    return RunToEnd(curl, job);
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
    case CURLE_QUOTE_ERROR:  // the file arrived; only the rename after it failed
        return false;
    default:
        return job.loggedIn;
    }
}

// After an atomic store that did not end in the rename: where the server refused to
// rename onto an existing file, that file goes first; otherwise, or when that fails
// too, the temporary file is removed so that none is left behind. Each step logs in
// afresh, so that it starts from the login folder whatever the failure left behind.
CURLcode FinishAtomic(CURL* curl, TransferJob& job, CURLcode result)
{
    if (!job.storeStarted || result == CURLE_ABORTED_BY_CALLBACK)
        return result;
    const UploadPlan& plan = job.plan;
    const std::string temp = AtomicTempName(plan.remoteName);
    curl_easy_setopt(curl, CURLOPT_FRESH_CONNECT, 1L);
    Attempt attempt;
    attempt.url = FtpUrl(plan.tls, plan.server, plan.port, "");
    attempt.passive = plan.mode != FtpMode::active;
    if (result == CURLE_QUOTE_ERROR) {
        // The whole file is there under the temporary name (MDTM proves it) before the
        // old one is deleted.
        CurlCommands replace;
        if (replace.Add(FolderChange(plan.dir).c_str()) && replace.Add(("MDTM " + temp).c_str()) &&
            replace.Add(("DELE " + plan.remoteName).c_str()) && replace.Add(("RNFR " + temp).c_str()) &&
            replace.Add(("RNTO " + plan.remoteName).c_str())) {
            attempt.before = replace.get();
            if (Perform(curl, job, attempt) == CURLE_OK)
                return CURLE_OK;
        }
    }
    CurlCommands removal;
    if (removal.Add(FolderChange(plan.dir).c_str()) && removal.Add(("*DELE " + temp).c_str())) {
        attempt.before = removal.get();
        // Time kept aside for this. Should the server not answer even so, the file left
        // behind is replaced and renamed away by the next upload, which uses its name.
        job.deadline = job.cleanUpDeadline;
        Perform(curl, job, attempt);
    }
    return result;
}

CURLcode Transfer(TransferJob& job, HANDLE file)
{
    const UploadPlan& plan = job.plan;
    if (plan.protocol != UploadProtocol::ftp) {
        const SftpControl control{job.deadline, job.cleanUpDeadline, &job.stop, job.detail};
        ShownHostKey shown;
        const CURLcode result = SendBySftp(plan, file, control, shown);
        return file || result != CURLE_OK ? result : CURLE_READ_ERROR;  // logged in, but nothing to send
    }
    if (!UsableServerName(plan.server) || !UsableFtpArgument(plan.dir) || !UsableFtpArgument(plan.remoteName) ||
        !UsableFtpArgument(plan.user) || !UsableFtpArgument(plan.password))
        return CURLE_URL_MALFORMAT;
    CurlTransfer curl;
    if (!curl)
        return CURLE_OUT_OF_MEMORY;
    SetCommonOptions(curl.get(), job);

    const std::string target = plan.atomic ? AtomicTempName(plan.remoteName) : plan.remoteName;
    CurlCommands before, rename;
    if (!before.Add(FolderChange(plan.dir).c_str()))
        return CURLE_OUT_OF_MEMORY;
    if (plan.atomic && !(rename.Add(("RNFR " + target).c_str()) && rename.Add(("RNTO " + plan.remoteName).c_str())))
        return CURLE_OUT_OF_MEMORY;

    Attempt attempt;
    attempt.url = FtpUrl(plan.tls, plan.server, plan.port, file ? target : "");
    attempt.file = file;
    attempt.before = before.get();
    attempt.after = file ? rename.get() : nullptr;
    attempt.passive = plan.mode != FtpMode::active;
    CURLcode result = Perform(curl.get(), job, attempt);
    if (plan.mode == FtpMode::automatic && WorthActiveMode(job, result)) {
        attempt.passive = false;
        result = Perform(curl.get(), job, attempt);
    }
    if (!file)
        return result == CURLE_OK ? CURLE_READ_ERROR : result;  // logged in, but nothing to send
    if (plan.atomic && result != CURLE_OK)
        result = FinishAtomic(curl.get(), job, result);
    return result;
}

DWORD WINAPI TransferThread(void* param)
{
    TransferJob& job = *static_cast<TransferJob*>(param);
    const std::string& sent = job.copyPath.empty() ? job.plan.localPath : job.copyPath;
    // Without a picture (none saved yet, or gone) the login still happens and the
    // upload fails; an empty file is never stored in its place.
    KernelHandle file(CreateFileA(sent.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    job.result = Transfer(job, file.get());
    return 0;
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

// A copy of the picture, so that what is sent cannot change under the transfer. Its
// name belongs to this program's folder: a copy left by an earlier run here is
// replaced, and another instance's copy is never touched. Empty when no copy could be
// made, and then the picture itself is sent.
std::string MakePrivateCopy(const std::string& localPath)
{
    const std::string folder = CopyFolder();
    char current[MAX_PATH];
    const DWORD length = GetCurrentDirectoryA(sizeof(current), current);
    if (folder.empty() || length == 0 || length >= sizeof(current))
        return "";
    const std::string copy = folder + "\\" + UploadCopyName(current);
    if (!CopyFileA(localPath.c_str(), copy.c_str(), FALSE)) {
        DeleteFileA(copy.c_str());
        return "";
    }
    return copy;
}

UploadOutcome SendToServer(TransferJob& job)
{
    static const bool curlReady = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    if (!curlReady)
        return UploadOutcome();
    job.copyPath = MakePrivateCopy(job.plan.localPath);
    const ULONGLONG start = GetTickCount64();
    job.deadline = start + kUploadBudgetMs;
    job.cleanUpDeadline = start + kCleanUpBudgetMs;
    KernelHandle worker(CreateThread(nullptr, 0, TransferThread, &job, 0, nullptr));
    if (worker && WaitForSingleObject(worker.get(), kWindowWaitMs) == WAIT_TIMEOUT) {
        InterlockedExchange(&job.stop, 1);
        WaitForSingleObject(worker.get(), INFINITE);
    }
    if (!job.copyPath.empty())
        DeleteFileA(job.copyPath.c_str());
    return Outcome(job);
}

}  // namespace

UploadPlan PlanUpload(const std::string& lastSavedFileName)
{
    UploadPlan plan;
    plan.server = ReadSetting(Setting::server);
    plan.user = ReadSetting(Setting::id);
    plan.password = ReadSetting(Setting::pass);
    plan.dir = ReadSetting(Setting::dir);
    plan.localPath = LocalUploadPath(ReadSetting(Setting::localDir), lastSavedFileName);
    plan.remoteName = RemoteUploadName(ReadSetting(Setting::dutJpg), lastSavedFileName);
    plan.port = UsableFtpPort(ReadSetting(Setting::ftpPort));
    plan.mode = ParseFtpMode(ReadSetting(Setting::ftpMode));
    plan.atomic = ReadSetting(Setting::ftpAtomic) != 0;
    plan.tls = ParseFtpTls(ReadSetting(Setting::ftpTls));
    plan.insecure = ReadSetting(Setting::ftpTlsInsecure) != 0;
    plan.protocolText = ReadSetting(Setting::protocol);
    plan.protocol = ParseUploadProtocol(plan.protocolText);
    if (plan.protocol == UploadProtocol::sftp) {
        plan.port = UsableSftpPort(ReadSetting(Setting::sftpPort));
        plan.sshHostKey = ReadSetting(Setting::sshHostKey);
        plan.sshKey = ReadSetting(Setting::sshKey);
    }
    return plan;
}

UploadOutcome SendPicture(const UploadPlan& plan)
{
    TransferJob job;
    job.plan = plan;
    return SendToServer(job);
}
