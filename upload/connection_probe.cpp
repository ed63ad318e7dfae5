// Connection test: the SFTP login of the upload (host key checked first), or an FTP
// login with the upload's TLS settings, with no file.
#include "connection_probe.h"

#include <windows.h>

#include <cstring>

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

// The certificate's subject and issuer as libcurl collected them during the handshake.
void NoteCertificate(CURL* curl, ProbeReport& report)
{
    curl_certinfo* info = nullptr;
    if (curl_easy_getinfo(curl, CURLINFO_CERTINFO, &info) != CURLE_OK || !info || info->num_of_certs < 1)
        return;
    for (curl_slist* item = info->certinfo[0]; item; item = item->next) {
        if (strncmp(item->data, "Subject:", 8) == 0)
            report.subject = item->data + 8;
        else if (strncmp(item->data, "Issuer:", 7) == 0)
            report.issuer = item->data + 7;
    }
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
    const CURLcode result = curl_easy_perform(curl.get());
    NoteCertificate(curl.get(), report);
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
