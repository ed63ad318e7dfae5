// Remote name and title of an upload; the URL and the server\'s size reply.
#include "upload_core.h"

#include <cstdio>
#include <cstring>

#include "picture_path.h"

std::string RemoteUploadName(const std::string& dutJpg, const std::string& lastSavedFileName)
{
    return dutJpg.empty() ? PictureNamePart(lastSavedFileName) : dutJpg;
}

std::string UploadTitle(const char* appTitle)
{
    return std::string("アップロード中 - ") + appTitle;
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

std::string AtomicOldName(const std::string& remoteName)
{
    return remoteName + ".pelmix-old";
}

int64_t SizeReply(const char* line, size_t length)
{
    while (length > 0 && (line[length - 1] == '\r' || line[length - 1] == '\n'))
        --length;
    if (length < 5 || memcmp(line, "213 ", 4) != 0)
        return -1;
    int64_t size = 0;
    for (size_t i = 4; i < length; ++i) {
        if (line[i] < '0' || line[i] > '9' || size > (INT64_MAX - 9) / 10)
            return -1;
        size = size * 10 + (line[i] - '0');
    }
    return size;
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

std::string UploadScaledBmpCopyName(const std::string& startFolder)
{
    std::string name = UploadCopyName(startFolder);
    return name.replace(name.rfind('.'), std::string::npos, ".bmp");
}
