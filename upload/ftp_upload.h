// Sends a picture to the FTP server of the settings, on libcurl.
#pragma once
#include <string>

#include "sftp_core.h"
#include "upload_core.h"

// Everything the worker needs, copied on the window's thread: the worker touches no global.
struct UploadPlan {
    std::string server, user, password, dir, localPath, remoteName;
    int port = kDefaultFtpPort;
    FtpMode mode = FtpMode::active;
    FtpTls tls = FtpTls::none;
    bool atomic = false;
    bool insecure = false;
    // protocol=sftp: the pinned host key ("SHA256:..."), and the private key file that
    // replaces the password (which then unlocks the key). protocolText names a word that
    // is neither ftp nor sftp in the log.
    UploadProtocol protocol = UploadProtocol::ftp;
    std::string protocolText, sshHostKey, sshKey;
};

// The settings as they are now, for the picture of that name in the image folder.
UploadPlan PlanUpload(const std::string& lastSavedFileName);

enum class UploadResult {
    NotStarted,  // libcurl could not be made ready: nothing was tried
    Sent,
    Failed,
};

struct UploadOutcome {
    UploadResult result = UploadResult::NotStarted;
    std::string why;        // libcurl's word for what went wrong
    std::string lastReply;  // the server's last reply line; empty when it said nothing
};

// Returns when the transfer has ended, within about half a minute, without dispatching
// any message: the caller's window procedure is not entered while it runs.
UploadOutcome SendPicture(const UploadPlan& plan);
