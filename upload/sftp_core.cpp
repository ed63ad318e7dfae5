// Paths, URL and host-key comparison of an SFTP upload.
#include "sftp_core.h"

#include "upload_core.h"

std::string SftpRemotePath(const std::string& dir, const std::string& name)
{
    std::string folder = dir;
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    if (folder.empty())
        return "~/" + name;
    if (folder[0] == '/')
        return folder == "/" ? "/" + name : folder + "/" + name;
    return "~/" + folder + "/" + name;
}

std::string SftpUrl(const std::string& server, int port, const std::string& remotePath)
{
    const bool ipv6 = server.find(':') != std::string::npos;
    std::string url = "sftp://" + (ipv6 ? "[" + server + "]" : server) + ":" + std::to_string(port);
    // Each segment escaped on its own: the slashes between them stay path separators.
    size_t begin = remotePath[0] == '/' ? 1 : 0;
    while (true) {
        const size_t end = remotePath.find('/', begin);
        url += "/" + UrlEscape(remotePath.substr(begin, end == std::string::npos ? std::string::npos : end - begin));
        if (end == std::string::npos)
            break;
        begin = end + 1;
    }
    return url;
}

std::string QuotedSftpPath(const std::string& path)
{
    // libcurl reads "~/" only outside quotes; a relative path is the same place, since
    // the server resolves it from the login folder.
    const std::string inner = path.compare(0, 2, "~/") == 0 ? path.substr(2) : path;
    std::string quoted = "\"";
    for (char c : inner) {
        if (c == '"' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}

namespace {

std::string FingerprintCore(const std::string& text)
{
    const size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string::npos)
        return "";
    std::string core = text.substr(begin, text.find_last_not_of(" \t") + 1 - begin);
    if (core.compare(0, 7, "SHA256:") == 0)
        core.erase(0, 7);
    while (!core.empty() && core.back() == '=')
        core.pop_back();
    return core;
}

}  // namespace

bool SameHostKey(const std::string& pinned, const std::string& shown)
{
    const std::string core = FingerprintCore(pinned);
    return !core.empty() && core == FingerprintCore(shown);
}

std::string HostKeyType(const unsigned char* blob, size_t length)
{
    if (!blob || length < 4)
        return "";
    const uint32_t nameLength = (uint32_t{blob[0]} << 24) | (uint32_t{blob[1]} << 16) | (uint32_t{blob[2]} << 8) | blob[3];
    if (nameLength == 0 || nameLength > 64 || nameLength > length - 4)
        return "";
    return std::string(reinterpret_cast<const char*>(blob) + 4, nameLength);
}

namespace {

std::string VerdictSentence(const ProbeReport& report)
{
    switch (report.verdict) {
    case ProbeVerdict::connected:
        return "接続とログインに成功しました。";
    case ProbeVerdict::loginRefused:
        return "サーバーにはつながりましたが、ログインを拒否されました (ユーザー名・パスワード・鍵を確かめてください)。";
    case ProbeVerdict::unknownHostKey:
        return "ホスト鍵がまだ登録されていないので、ログインせずに切断しました (" + report.keyType + " " +
               report.fingerprint + ")。";
    case ProbeVerdict::hostKeyChanged:
        return "ホスト鍵が登録と違うので、ログインせずに切断しました (サーバー " + report.fingerprint + "、登録 " +
               report.pinned + ")。";
    case ProbeVerdict::certificateRefused:
        return "サーバーの証明書を検証できないので、ログインせずに切断しました (" + report.detail + ")。";
    case ProbeVerdict::unreachable:
        return "サーバーに接続できません (サーバー名とポート番号を確かめてください)。";
    case ProbeVerdict::timedOut:
        return "サーバーが時間内に応答しませんでした。";
    default:
        return "接続に失敗しました (" + report.detail + ")。";
    }
}

}  // namespace

std::string ProbeSentence(const ProbeReport& report)
{
    std::string sentence = VerdictSentence(report);
    if (report.subject.empty())
        return sentence;
    sentence += "\n証明書: " + report.subject + " (発行者: " + report.issuer + ") ";
    switch (report.certificate) {
    case CertificateCheck::verified:
        return sentence + "は検証できました。";
    case CertificateCheck::refused:
        return sentence + "は検証できません。";
    default:
        return sentence + "は検証していません (検証できない証明書も受け入れる設定です)。";
    }
}
