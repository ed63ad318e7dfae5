// The SFTP side of an upload worked out without any window: which protocol the settings
// ask for, the remote paths and URL, the port, and the pinned host key's comparison.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// protocol=ftp (or absent) and protocol=sftp; any other word refuses the upload.
enum class UploadProtocol { ftp, sftp, unknown };
UploadProtocol ParseUploadProtocol(const std::string& text);

constexpr int kDefaultSftpPort = 22;
// A stored port outside 1..65535 (a hand-edited file) falls back to 22.
int UsableSftpPort(int32_t stored);

// Where the file goes: dir is relative to the login folder unless it begins with "/".
// "~/" stands for the login folder, as libcurl and OpenSSH's sftp both read it.
std::string SftpRemotePath(const std::string& dir, const std::string& name);
// sftp://host:port/ and the escaped path (a name or IPv4 address as it is, IPv6 in brackets).
std::string SftpUrl(const std::string& server, int port, const std::string& remotePath);
// One path as an argument of libcurl's SFTP commands: in double quotes, with backslashes
// and quotes escaped, so blanks and quotes in names stay in the name; "~/" becomes a path
// relative to the login folder.
std::string QuotedSftpPath(const std::string& path);

// "SHA256:" and base64 as `ssh-keygen -lf` prints it; the pinned text may carry blanks
// around it and the base64 padding, and is compared case-sensitively.
bool SameHostKey(const std::string& pinned, const std::string& shown);
// The key's algorithm name from the start of its wire form ("ssh-ed25519",
// "ecdsa-sha2-nistp256", "ssh-rsa"); empty when the blob is too short to hold one.
std::string HostKeyType(const unsigned char* blob, size_t length);

// What the connection dialog's test learnt, and its one sentence for the user.
enum class ProbeVerdict { connected, loginRefused, unknownHostKey, hostKeyChanged, certificateRefused,
                          unreachable, timedOut, failed };
struct ProbeReport {
    ProbeVerdict verdict = ProbeVerdict::failed;
    std::string fingerprint, keyType, pinned;  // SFTP: the key the server showed, the pinned one
    std::string subject, issuer;               // FTPS: the server's certificate, when seen
    std::string detail;                        // libcurl's word, for a failure of another kind
};
std::string ProbeSentence(const ProbeReport& report);
