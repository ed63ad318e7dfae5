// Connection test: the SFTP login of the upload (host key checked first), or an FTP
// login with the upload's TLS settings, with no file.
#include "connection_probe.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#define SECURITY_WIN32
#include <security.h>
#include <schannel.h>

#include <cstring>
#include <string>
#include <vector>

#include <curl/curl.h>

#include "sftp_transfer.h"
#include "upload_core.h"
#include "upload_handles.h"

namespace {

constexpr ULONGLONG kProbeBudgetMs = 15000;

ProbeVerdict VerdictOf(CURLcode result)
{
    switch (result) {
    case CURLE_OK: return ProbeVerdict::connected;
    case CURLE_LOGIN_DENIED: return ProbeVerdict::loginRefused;
    case CURLE_PEER_FAILED_VERIFICATION: return ProbeVerdict::certificateRefused;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_CONNECT: return ProbeVerdict::unreachable;
    case CURLE_OPERATION_TIMEDOUT: return ProbeVerdict::timedOut;
    default: return ProbeVerdict::failed;
    }
}

std::string NameText(const CERT_NAME_BLOB& name)
{
    char text[512] = {};
    CertNameToStrA(X509_ASN_ENCODING, const_cast<CERT_NAME_BLOB*>(&name), CERT_X500_NAME_STR, text, sizeof(text));
    return text;
}

// Subject and issuer as Windows writes names, in the system's code page as the dialog
// shows text, whichever way the certificate came.
void NoteNames(PCCERT_CONTEXT certificate, ProbeReport& report)
{
    report.subject = NameText(certificate->pCertInfo->Subject);
    report.issuer = NameText(certificate->pCertInfo->Issuer);
}

// The server's certificate as libcurl collected it during the handshake (in PEM form).
void NoteCertificate(CURL* curl, ProbeReport& report)
{
    curl_certinfo* info = nullptr;
    if (curl_easy_getinfo(curl, CURLINFO_CERTINFO, &info) != CURLE_OK || !info || info->num_of_certs < 1)
        return;
    for (curl_slist* item = info->certinfo[0]; item; item = item->next) {
        if (strncmp(item->data, "Cert:", 5) != 0)
            continue;
        DWORD size = 0;
        if (!CryptStringToBinaryA(item->data + 5, 0, CRYPT_STRING_BASE64HEADER, nullptr, &size, nullptr, nullptr))
            return;
        std::vector<BYTE> der(size);
        if (!CryptStringToBinaryA(item->data + 5, 0, CRYPT_STRING_BASE64HEADER, der.data(), &size, nullptr, nullptr))
            return;
        if (PCCERT_CONTEXT certificate = CertCreateCertificateContext(X509_ASN_ENCODING, der.data(), size)) {
            NoteNames(certificate, report);
            CertFreeCertificateContext(certificate);
        }
        return;
    }
}

// A socket of the probe's own; closed once, whoever used it.
class OwnSocket {
public:
    OwnSocket() = default;
    ~OwnSocket()
    {
        if (socket_ != INVALID_SOCKET)
            closesocket(socket_);
    }
    OwnSocket(const OwnSocket&) = delete;
    OwnSocket& operator=(const OwnSocket&) = delete;
    void Reset(SOCKET socket)
    {
        if (socket_ != INVALID_SOCKET)
            closesocket(socket_);
        socket_ = socket;
    }
    SOCKET get() const { return socket_; }

private:
    SOCKET socket_ = INVALID_SOCKET;
};

// Connects to the server before the deadline; the socket then blocks, each send for at
// most the time that was left.
bool ConnectBefore(const std::string& server, int port, ULONGLONG deadline, OwnSocket& connection)
{
    const ULONGLONG now = GetTickCount64();
    if (now >= deadline)
        return false;
    const DWORD milliseconds = static_cast<DWORD>(deadline - now);
    addrinfo hints = {};
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* found = nullptr;
    if (getaddrinfo(server.c_str(), std::to_string(port).c_str(), &hints, &found) != 0)
        return false;
    bool connected = false;
    for (addrinfo* at = found; at && !connected; at = at->ai_next) {
        connection.Reset(socket(at->ai_family, at->ai_socktype, at->ai_protocol));
        const SOCKET s = connection.get();
        u_long nonBlocking = 1;
        if (s == INVALID_SOCKET || ioctlsocket(s, FIONBIO, &nonBlocking) != 0)
            continue;
        if (connect(s, at->ai_addr, static_cast<int>(at->ai_addrlen)) != 0 && WSAGetLastError() != WSAEWOULDBLOCK)
            continue;
        fd_set writable, failed;
        FD_ZERO(&writable);
        FD_ZERO(&failed);
        FD_SET(s, &writable);
        FD_SET(s, &failed);
        timeval wait = {static_cast<long>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000};
        if (select(0, nullptr, &writable, &failed, &wait) != 1 || !FD_ISSET(s, &writable))
            continue;
        u_long blocking = 0;
        connected = ioctlsocket(s, FIONBIO, &blocking) == 0 &&
                    setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&milliseconds),
                               sizeof(milliseconds)) == 0;
    }
    freeaddrinfo(found);
    return connected;
}

// What the server sends next, waiting no later than the deadline (a server that sends a
// byte at a time cannot stretch it); 0 or less when nothing came.
int ReceiveBefore(SOCKET s, char* buffer, size_t size, ULONGLONG deadline)
{
    const ULONGLONG now = GetTickCount64();
    const DWORD milliseconds = now < deadline ? static_cast<DWORD>(deadline - now) : 0;
    if (milliseconds == 0 || size == 0 ||
        setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&milliseconds), sizeof(milliseconds)) != 0)
        return 0;
    return recv(s, buffer, static_cast<int>(size), 0);
}

// The code of the server's next FTP reply (its last line, "ddd text"); 0 when none whole
// came within 4 KB before the deadline.
int ReadReplyCode(SOCKET s, ULONGLONG deadline)
{
    char buffer[4096];
    size_t used = 0, line = 0;
    while (used < sizeof(buffer)) {
        const int got = ReceiveBefore(s, buffer + used, sizeof(buffer) - used, deadline);
        if (got <= 0)
            return 0;
        used += static_cast<size_t>(got);
        while (const char* end = static_cast<const char*>(memchr(buffer + line, '\n', used - line))) {
            const char* text = buffer + line;
            if (end - text >= 4 && text[3] == ' ' && isdigit(static_cast<unsigned char>(text[0])) &&
                isdigit(static_cast<unsigned char>(text[1])) && isdigit(static_cast<unsigned char>(text[2])))
                return (text[0] - '0') * 100 + (text[1] - '0') * 10 + (text[2] - '0');
            line = static_cast<size_t>(end + 1 - buffer);
        }
    }
    return 0;
}

// What a TLS handshake through Windows' own Schannel holds; each released once.
class SchannelSession {
public:
    SchannelSession() = default;
    ~SchannelSession()
    {
        if (certificate)
            CertFreeCertificateContext(certificate);
        if (haveContext)
            DeleteSecurityContext(&context);
        if (haveCredentials)
            FreeCredentialsHandle(&credentials);
    }
    SchannelSession(const SchannelSession&) = delete;
    SchannelSession& operator=(const SchannelSession&) = delete;

    CredHandle credentials = {};
    CtxtHandle context = {};
    bool haveCredentials = false, haveContext = false;
    PCCERT_CONTEXT certificate = nullptr;
};

// Sends the whole of a handshake token; false when the socket would not take it.
bool SendAll(SOCKET s, const char* data, size_t length)
{
    while (length > 0) {
        const int sent = send(s, data, static_cast<int>(length), 0);
        if (sent <= 0)
            return false;
        data += sent;
        length -= static_cast<size_t>(sent);
    }
    return true;
}

// A client handshake on the connected socket with the certificate check off, as far as
// the server's certificate; it goes no further than the handshake, so nothing but TLS's
// own messages is ever sent.
bool HandshakeForCertificate(SOCKET s, const std::string& server, ULONGLONG deadline, SchannelSession& session)
{
    SCHANNEL_CRED settings = {};
    settings.dwVersion = SCHANNEL_CRED_VERSION;
    settings.dwFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS | SCH_CRED_NO_SERVERNAME_CHECK;
    TimeStamp expiry;
    session.haveCredentials = AcquireCredentialsHandleA(nullptr, const_cast<char*>(UNISP_NAME_A), SECPKG_CRED_OUTBOUND,
                                                        nullptr, &settings, nullptr, nullptr, &session.credentials,
                                                        &expiry) == SEC_E_OK;
    if (!session.haveCredentials)
        return false;
    constexpr DWORD kRequest = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY |
                               ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM;
    std::vector<char> received(32768);  // the server's flight, certificate chain included
    std::string name = server;
    size_t held = 0;
    for (bool first = true;; first = false) {
        SecBuffer in[2] = {{static_cast<ULONG>(held), SECBUFFER_TOKEN, received.data()}, {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc inList = {SECBUFFER_VERSION, 2, in};
        SecBuffer out = {0, SECBUFFER_TOKEN, nullptr};
        SecBufferDesc outList = {SECBUFFER_VERSION, 1, &out};
        ULONG granted = 0;
        const SECURITY_STATUS status = InitializeSecurityContextA(
            &session.credentials, first ? nullptr : &session.context, &name[0], kRequest, 0, 0,
            first ? nullptr : &inList, 0, &session.context, &outList, &granted, &expiry);
        if (first)
            session.haveContext = status == SEC_I_CONTINUE_NEEDED || status == SEC_E_OK;
        if (out.pvBuffer) {
            const bool sent = SendAll(s, static_cast<const char*>(out.pvBuffer), out.cbBuffer);
            FreeContextBuffer(out.pvBuffer);
            if (!sent)
                return false;
        }
        if (status == SEC_E_OK)
            break;
        if (status != SEC_I_CONTINUE_NEEDED && status != SEC_E_INCOMPLETE_MESSAGE)
            return false;
        if (status == SEC_I_CONTINUE_NEEDED) {
            // What the call did not take stays for the next one.
            const size_t extra = in[1].BufferType == SECBUFFER_EXTRA && !first ? in[1].cbBuffer : 0;
            memmove(received.data(), received.data() + held - extra, extra);
            held = extra;
            if (extra > 0)
                continue;
        }
        const int got = ReceiveBefore(s, received.data() + held, received.size() - held, deadline);
        if (got <= 0)
            return false;
        held += static_cast<size_t>(got);
    }
    return QueryContextAttributesA(&session.context, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &session.certificate) == SEC_E_OK &&
           session.certificate;
}

// The certificate of a server whose certificate did not verify: libcurl shows none when
// the handshake ends at the check. A second connection of the probe's own reads it: the
// greeting and AUTH TLS for explicit TLS, then a handshake that does not check, and then
// the connection is closed. No FTP command follows: the user name and password are
// never sent on it.
void ReadUnverifiedCertificate(const UploadPlan& plan, ULONGLONG deadline, ProbeReport& report)
{
    OwnSocket connection;
    if (!ConnectBefore(plan.server, plan.port, deadline, connection))
        return;
    if (plan.tls == FtpTls::explicitTls) {
        static const char kAuth[] = "AUTH TLS\r\n";
        if (ReadReplyCode(connection.get(), deadline) != 220 || !SendAll(connection.get(), kAuth, sizeof(kAuth) - 1) ||
            ReadReplyCode(connection.get(), deadline) != 234)
            return;
    }
    SchannelSession session;
    if (!HandshakeForCertificate(connection.get(), plan.server, deadline, session))
        return;
    NoteNames(session.certificate, report);
}

CURLcode ProbeFtp(const UploadPlan& plan, ProbeReport& report, char* detail)
{
    if (!UsableServerName(plan.server) || !UsableFtpArgument(plan.user) || !UsableFtpArgument(plan.password))
        return CURLE_URL_MALFORMAT;
    CurlTransfer curl;
    if (!curl)
        return CURLE_OUT_OF_MEMORY;
    const std::string url = FtpUrl(plan.tls, plan.server, plan.port, "");
    curl_easy_setopt(curl.get(), CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl.get(), CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl.get(), CURLOPT_PROXY, "");
    curl_easy_setopt(curl.get(), CURLOPT_ERRORBUFFER, detail);
    curl_easy_setopt(curl.get(), CURLOPT_USERNAME, plan.user.c_str());
    curl_easy_setopt(curl.get(), CURLOPT_PASSWORD, plan.password.c_str());
    curl_easy_setopt(curl.get(), CURLOPT_NOBODY, 1L);
    curl_easy_setopt(curl.get(), CURLOPT_CONNECTTIMEOUT_MS, 10000L);
    curl_easy_setopt(curl.get(), CURLOPT_TIMEOUT_MS, static_cast<long>(kProbeBudgetMs));
    if (plan.tls != FtpTls::none) {
        curl_easy_setopt(curl.get(), CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_ALL));
        curl_easy_setopt(curl.get(), CURLOPT_FTPSSLAUTH, static_cast<long>(CURLFTPAUTH_TLS));
        curl_easy_setopt(curl.get(), CURLOPT_SSL_VERIFYPEER, plan.insecure ? 0L : 1L);
        curl_easy_setopt(curl.get(), CURLOPT_SSL_VERIFYHOST, plan.insecure ? 0L : 2L);
        curl_easy_setopt(curl.get(), CURLOPT_SSL_OPTIONS, static_cast<long>(CURLSSLOPT_REVOKE_BEST_EFFORT));
        curl_easy_setopt(curl.get(), CURLOPT_CERTINFO, 1L);
    }
    const ULONGLONG deadline = GetTickCount64() + kProbeBudgetMs;
    const CURLcode result = curl_easy_perform(curl.get());
    if (plan.tls == FtpTls::none)
        return result;
    // With the check on, libcurl shows the certificate only once it has verified.
    NoteCertificate(curl.get(), report);
    if (plan.insecure) {
        report.certificate = CertificateCheck::unchecked;
    } else if (!report.subject.empty()) {
        report.certificate = CertificateCheck::verified;
    } else if (VerdictOf(result) == ProbeVerdict::certificateRefused) {
        report.certificate = CertificateCheck::refused;
        ReadUnverifiedCertificate(plan, deadline, report);
    }
    return result;
}

}  // namespace

ProbeReport ProbeConnection(const UploadPlan& plan)
{
    ProbeReport report;
    static const bool curlReady = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    char detail[CURL_ERROR_SIZE] = {};
    CURLcode result = CURLE_FAILED_INIT;
    if (curlReady && plan.protocol == UploadProtocol::ftp) {
        result = ProbeFtp(plan, report, detail);
    } else if (curlReady) {
        volatile LONG stop = 0;
        const ULONGLONG deadline = GetTickCount64() + kProbeBudgetMs;
        const SftpControl control{deadline, deadline, &stop, detail};
        ShownHostKey shown;
        result = SendBySftp(plan, nullptr, control, shown);
        report.fingerprint = shown.fingerprint;
        report.keyType = shown.type;
        report.pinned = plan.sshHostKey;
        if (!shown.fingerprint.empty() && !shown.pinned) {
            report.verdict = plan.sshHostKey.empty() ? ProbeVerdict::unknownHostKey : ProbeVerdict::hostKeyChanged;
            return report;
        }
    }
    report.verdict = VerdictOf(result);
    report.detail = detail[0] ? detail : curl_easy_strerror(result);
    return report;
}
