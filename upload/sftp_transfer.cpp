// SFTP upload on libcurl and libssh2. libcurl hands the server's host key to CheckHostKey
// right after the key exchange and before the user name goes out; anything but the pinned
// key ends the session there. The atomic replace writes <name>.pelmix-part and renames it
// onto the name with OpenSSH's posix-rename (one step, the name never missing); a server
// without it gets the old file deleted and the plain rename, once the new file is whole.
#include "sftp_transfer.h"

#include <bcrypt.h>
#include <wincrypt.h>

#include <cstdio>

#include "sftp_core.h"
#include "upload_core.h"
#include "upload_handles.h"

namespace {

constexpr ULONGLONG kLeastAttemptMs = 1000;

struct Session {
    const UploadPlan& plan;
    const SftpControl& control;
    ShownHostKey& shown;
    HANDLE file = nullptr;
    std::string publicKey;
    bool fileOpened = false;  // the server opened the remote file: a part may be there
};

// SHA-256 of the key's wire form in base64 without padding, after "SHA256:".
std::string Fingerprint(const unsigned char* key, size_t length)
{
    unsigned char digest[32] = {};
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    if (BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0) != 0)
        return "";
    BCRYPT_HASH_HANDLE hash = nullptr;
    bool hashed = BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0) == 0;
    hashed = hashed && BCryptHashData(hash, const_cast<unsigned char*>(key), static_cast<ULONG>(length), 0) == 0 &&
             BCryptFinishHash(hash, digest, sizeof(digest), 0) == 0;
    if (hash)
        BCryptDestroyHash(hash);
    BCryptCloseAlgorithmProvider(algorithm, 0);
    char text[64] = {};
    DWORD size = sizeof(text);
    if (!hashed || !CryptBinaryToStringA(digest, sizeof(digest), CRYPT_STRING_BASE64 | CRYPT_STRING_NOCRLF, text, &size))
        return "";
    std::string base64(text);
    while (!base64.empty() && base64.back() == '=')
        base64.pop_back();
    return "SHA256:" + base64;
}

int CheckHostKey(void* param, int, const char* key, size_t length)
{
    Session& session = *static_cast<Session*>(param);
    const auto* blob = reinterpret_cast<const unsigned char*>(key);
    session.shown.fingerprint = Fingerprint(blob, length);
    session.shown.type = HostKeyType(blob, length);
    session.shown.pinned =
        !session.shown.fingerprint.empty() && SameHostKey(session.plan.sshHostKey, session.shown.fingerprint);
    return session.shown.pinned ? CURLKHMATCH_OK : CURLKHMATCH_MISMATCH;
}

size_t ReadFromFile(char* buffer, size_t size, size_t count, void* param)
{
    Session& session = *static_cast<Session*>(param);
    session.fileOpened = true;
    DWORD read = 0;
    const size_t wanted = size * count;
    const DWORD chunk = wanted > 0x100000 ? 0x100000 : static_cast<DWORD>(wanted);
    if (!ReadFile(session.file, buffer, chunk, &read, nullptr))
        return CURL_READFUNC_ABORT;
    return read;
}

int CheckStop(void* param, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    const SftpControl& control = static_cast<Session*>(param)->control;
    return InterlockedCompareExchange(control.stop, 0, 0) != 0 || GetTickCount64() >= control.stopAt ? 1 : 0;
}

void SetOptions(CURL* curl, Session& session)
{
    const UploadPlan& plan = session.plan;
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_PROXY, "");
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, session.control.detail);
    curl_easy_setopt(curl, CURLOPT_USERNAME, plan.user.c_str());
    if (plan.sshKey.empty()) {
        curl_easy_setopt(curl, CURLOPT_PASSWORD, plan.password.c_str());
        curl_easy_setopt(curl, CURLOPT_SSH_AUTH_TYPES, static_cast<long>(CURLSSH_AUTH_PASSWORD | CURLSSH_AUTH_KEYBOARD));
    } else {
        // The public half from <key>.pub beside it, as ssh-keygen leaves it: mbedTLS cannot
        // take it out of a key in OpenSSH's own format. Without one, libssh2 tries the
        // private key file itself (a PEM key).
        session.publicKey = plan.sshKey + ".pub";
        const DWORD attributes = GetFileAttributesA(session.publicKey.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
            session.publicKey.clear();
        curl_easy_setopt(curl, CURLOPT_SSH_PUBLIC_KEYFILE, session.publicKey.c_str());
        curl_easy_setopt(curl, CURLOPT_SSH_PRIVATE_KEYFILE, plan.sshKey.c_str());
        curl_easy_setopt(curl, CURLOPT_KEYPASSWD, plan.password.c_str());
        curl_easy_setopt(curl, CURLOPT_SSH_AUTH_TYPES, static_cast<long>(CURLSSH_AUTH_PUBLICKEY));
    }
    curl_easy_setopt(curl, CURLOPT_SSH_HOSTKEYFUNCTION, CheckHostKey);
    curl_easy_setopt(curl, CURLOPT_SSH_HOSTKEYDATA, &session);
    SetTransferLimits(curl, CheckStop, &session);
}

// One session (or a reuse of the one before): login, the commands before, the upload of
// the file (none without one: the URL is then a folder), the commands after.
CURLcode Perform(CURL* curl, Session& session, const std::string& url, curl_slist* before, curl_slist* after,
                 ULONGLONG deadline)
{
    const ULONGLONG now = GetTickCount64();
    if (now + kLeastAttemptMs > deadline)
        return CURLE_OPERATION_TIMEDOUT;
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(deadline - now));
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_QUOTE, before);
    curl_easy_setopt(curl, CURLOPT_POSTQUOTE, after);
    if (session.file) {
        LARGE_INTEGER size = {};
        if (!GetFileSizeEx(session.file, &size) || !SetFilePointerEx(session.file, LARGE_INTEGER{}, nullptr, FILE_BEGIN))
            return CURLE_READ_ERROR;
        curl_easy_setopt(curl, CURLOPT_NOBODY, 0L);
        curl_easy_setopt(curl, CURLOPT_UPLOAD, 1L);
        curl_easy_setopt(curl, CURLOPT_READFUNCTION, ReadFromFile);
        curl_easy_setopt(curl, CURLOPT_READDATA, &session);
        curl_easy_setopt(curl, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(size.QuadPart));
    } else {
        curl_easy_setopt(curl, CURLOPT_UPLOAD, 0L);
        curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
    }
    session.control.detail[0] = '\0';
    return curl_easy_perform(curl);
}

// The log's words for a host key that was not the pinned one: the server's fingerprint
// (and the pinned one), so that the user can compare it with `ssh-keygen -lf` on the server.
void DescribeRefusedKey(const Session& session)
{
    const ShownHostKey& shown = session.shown;
    if (session.plan.sshHostKey.empty())
        snprintf(session.control.detail, CURL_ERROR_SIZE,
                 "ssh_hostkey が空なので接続をやめました; サーバーのホスト鍵 %s (%s)", shown.fingerprint.c_str(),
                 shown.type.c_str());
    else
        snprintf(session.control.detail, CURL_ERROR_SIZE,
                 "ホスト鍵が ssh_hostkey と違うので接続をやめました; サーバー %s (%s), ssh_hostkey %s",
                 shown.fingerprint.c_str(), shown.type.c_str(), session.plan.sshHostKey.c_str());
}

// After an atomic upload that did not end in the rename onto the name: where the server
// has no posix-rename (the upload itself went through: the file is whole), the old file
// goes and the temporary one takes its name; otherwise, or when that fails too, the
// temporary file is removed so that none is left behind.
CURLcode FinishAtomic(CURL* curl, Session& session, CURLcode result, const std::string& folderUrl,
                      const std::string& temp, const std::string& final)
{
    if (!session.fileOpened || result == CURLE_ABORTED_BY_CALLBACK)
        return result;
    session.file = nullptr;
    if (result == CURLE_QUOTE_ERROR) {
        CurlCommands replace;
        if (replace.Add(("*rm " + QuotedSftpPath(final)).c_str()) &&
            replace.Add(("rename " + QuotedSftpPath(temp) + " " + QuotedSftpPath(final)).c_str()) &&
            Perform(curl, session, folderUrl, replace.get(), nullptr, session.control.deadline) == CURLE_OK)
            return CURLE_OK;
    }
    CurlCommands removal;
    if (removal.Add(("*rm " + QuotedSftpPath(temp)).c_str()))
        Perform(curl, session, folderUrl, removal.get(), nullptr, session.control.cleanUpDeadline);
    return result;
}

}  // namespace

CURLcode SendBySftp(const UploadPlan& plan, HANDLE file, const SftpControl& control, ShownHostKey& shown)
{
    if (!PlanIsSendable(plan))
        return CURLE_URL_MALFORMAT;
    CurlTransfer curl;
    if (!curl)
        return CURLE_OUT_OF_MEMORY;
    Session session{plan, control, shown, file, std::string(), false};
    SetOptions(curl.get(), session);

    const std::string final = SftpRemotePath(plan.dir, plan.remoteName);
    const std::string target = plan.atomic ? SftpRemotePath(plan.dir, AtomicTempName(plan.remoteName)) : final;
    const std::string folderUrl = SftpUrl(plan.server, plan.port, SftpRemotePath(plan.dir, ""));
    CurlCommands rename;
    if (plan.atomic && !rename.Add(("posix-rename " + QuotedSftpPath(target) + " " + QuotedSftpPath(final)).c_str()))
        return CURLE_OUT_OF_MEMORY;
    CURLcode result = Perform(curl.get(), session, file ? SftpUrl(plan.server, plan.port, target) : folderUrl, nullptr,
                              file ? rename.get() : nullptr, control.deadline);
    if (!shown.fingerprint.empty() && !shown.pinned) {
        DescribeRefusedKey(session);
        return CURLE_PEER_FAILED_VERIFICATION;
    }
    if (file && plan.atomic && result != CURLE_OK)
        result = FinishAtomic(curl.get(), session, result, folderUrl, target, final);
    return result;
}
