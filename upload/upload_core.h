// What an upload sends and where, and the server's replies it reads, without any window.
#pragma once
#include <cstdint>
#include <string>

// dut_jpg when set, otherwise the file keeps its own name (without the folder part a
// prefix may give it: the server's folder is dir's).
std::string RemoteUploadName(const std::string& dutJpg, const std::string& lastSavedFileName);
// The title shown while a transfer runs.
std::string UploadTitle(const char* appTitle);

// How the data connection is made: active (the server connects back), passive, or
// passive first and active when passive fails.
enum class FtpMode { active, passive, automatic };
// TLS: none, AUTH TLS on the control port, or TLS from the first byte.
enum class FtpTls { none, explicitTls, implicitTls };

constexpr int kDefaultFtpPort = 21;

// A server name that can go into a URL as it is: no blanks, control characters or URL
// delimiters that would point the transfer somewhere else.
bool UsableServerName(const std::string& server);
// An argument of one FTP command: a line break would start a command of its own.
bool UsableFtpArgument(const std::string& argument);
// Every byte but the URL's unreserved ones as %XX, so that a remote name reaches the
// server as its own bytes (code page 932 included).
std::string UrlEscape(const std::string& text);
// ftp:// (ftps:// for TLS from the first byte), host, port and the escaped remote name.
std::string FtpUrl(FtpTls tls, const std::string& server, int port, const std::string& remoteName);

// Where an atomic upload stores the file before renaming it onto its name: beside it,
// under a name of its own that the next upload reuses, so nothing piles up.
std::string AtomicTempName(const std::string& remoteName);
// Where the old picture waits, on a server that will not rename onto an existing name,
// until the new one has its name.
std::string AtomicOldName(const std::string& remoteName);
// The number of a "213 <bytes>" reply to SIZE; -1 for any other line.
int64_t SizeReply(const char* line, size_t length);

// The local copy an upload sends, named after the program's folder: a second instance
// elsewhere never touches this one's copy.
std::string UploadCopyName(const std::string& startFolder);
// The smaller picture a save leaves for the upload to send (upload_width), in the same
// folder as the copy above and named after the program's folder the same way.
std::string UploadScaledCopyName(const std::string& startFolder);
// The same for the smaller copy of a BMP save.
std::string UploadScaledBmpCopyName(const std::string& startFolder);
