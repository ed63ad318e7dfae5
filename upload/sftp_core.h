// The SFTP side of an upload worked out without any window: the remote paths and URL,
// and the pinned host key's comparison.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// How the picture travels: FTP (with or without TLS) or SFTP.
enum class UploadProtocol { ftp, sftp };

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
// FTPS: what became of the server's certificate (none: no TLS, or no handshake).
enum class CertificateCheck { none, verified, refused, unchecked };
struct ProbeReport {
    ProbeVerdict verdict = ProbeVerdict::failed;
    std::string fingerprint, keyType, pinned;  // SFTP: the key the server showed, the pinned one
    std::string subject, issuer;               // FTPS: the server's certificate, when seen
    CertificateCheck certificate = CertificateCheck::none;
    std::string detail;                        // libcurl's word, for a failure of another kind
};
// The sentence, and for FTPS a second line: the certificate, when seen, and whether it verified.
std::string ProbeSentence(const ProbeReport& report);
