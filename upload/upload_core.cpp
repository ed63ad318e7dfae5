// Local path, remote name and title of an upload; the FTP settings' words and the URL.
#include "upload_core.h"

#include <cstdio>

std::string LocalUploadPath(const std::string& localDir, const std::string& lastSavedFileName)
{
    return localDir + '\\' + lastSavedFileName;
}

std::string RemoteUploadName(const std::string& dutJpg, const std::string& lastSavedFileName)
{
    return dutJpg.empty() ? lastSavedFileName : dutJpg;
}

std::string UploadTitle(const char* appTitle)
{
    return std::string("アップロード中 - ") + appTitle;
}

FtpMode ParseFtpMode(const std::string& text)
{
    if (text == "passive")
        return FtpMode::passive;
    if (text == "auto")
        return FtpMode::automatic;
    return FtpMode::active;
}

FtpTls ParseFtpTls(const std::string& text)
{
    if (text == "explicit")
        return FtpTls::explicitTls;
    if (text == "implicit")
        return FtpTls::implicitTls;
    return FtpTls::none;
}

const char* FtpModeName(FtpMode mode)
{
    switch (mode) {
    case FtpMode::passive: return "passive";
    case FtpMode::automatic: return "auto";
    default: return "active";
    }
}

const char* FtpTlsName(FtpTls tls)
{
    switch (tls) {
    case FtpTls::explicitTls: return "explicit";
    case FtpTls::implicitTls: return "implicit";
    default: return "none";
    }
}

bool ParseFtpPort(const std::string& text, int& port)
{
    size_t begin = text.find_first_not_of(" \t");
    size_t end = text.find_last_not_of(" \t");
    if (begin == std::string::npos)
        return false;
    long value = 0;
    for (size_t i = begin; i <= end; ++i) {
        const char c = text[i];
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
        if (value > 65535)
            return false;
    }
    if (value < 1)
        return false;
    port = static_cast<int>(value);
    return true;
}

int UsableFtpPort(int32_t stored)
{
    return stored >= 1 && stored <= 65535 ? static_cast<int>(stored) : kDefaultFtpPort;
}

bool UsableServerName(const std::string& server)
{
    if (server.empty())
        return false;
    for (unsigned char c : server) {
        if (c <= ' ' || c >= 0x7f)
            return false;
        switch (c) {
        case '/': case '\\': case '@': case '?': case '#': case '%': case '[': case ']':
            return false;
        default:
            break;
        }
    }
    return true;
}

bool UsableFtpArgument(const std::string& argument)
{
    for (unsigned char c : argument) {
        if (c == '\r' || c == '\n' || c == '\0')
            return false;
    }
    return true;
}

std::string UrlEscape(const std::string& text)
{
    std::string escaped;
    for (unsigned char c : text) {
        const bool unreserved = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                                c == '-' || c == '.' || c == '_' || c == '~';
        if (unreserved) {
            escaped += static_cast<char>(c);
        } else {
            char hex[4];
            std::snprintf(hex, sizeof(hex), "%%%02X", c);
            escaped += hex;
        }
    }
    return escaped;
}

std::string FtpUrl(FtpTls tls, const std::string& server, int port, const std::string& remoteName)
{
    // An IPv6 address holds colons and goes in brackets; a name or IPv4 address as it is.
    const bool ipv6 = server.find(':') != std::string::npos;
    std::string url = tls == FtpTls::implicitTls ? "ftps://" : "ftp://";
    url += ipv6 ? "[" + server + "]" : server;
    url += ":" + std::to_string(port) + "/" + UrlEscape(remoteName);
    return url;
}

std::string AtomicTempName(const std::string& remoteName)
{
    return remoteName + ".pelmix-part";
}

std::string UploadCopyName(const std::string& startFolder)
{
    // FNV-1a over the folder with ASCII letters folded, as Windows compares paths.
    uint32_t hash = 2166136261u;
    for (unsigned char c : startFolder) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<unsigned char>(c - 'a' + 'A');
        hash = (hash ^ c) * 16777619u;
    }
    char name[20];
    std::snprintf(name, sizeof(name), "pmx%08x.tmp", static_cast<unsigned>(hash));
    return name;
}

std::string UploadScaledCopyName(const std::string& startFolder)
{
    std::string name = UploadCopyName(startFolder);
    return name.replace(name.rfind('.'), std::string::npos, ".jpg");
}
