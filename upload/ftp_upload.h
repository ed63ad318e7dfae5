// Sends a picture to an FTP server, on libcurl, as a plan says.
#pragma once
#include <string>

#include "upload_core.h"

// Everything the worker needs, copied on the window's thread: the worker touches no global.
// The caller fills it from its settings.
struct UploadPlan {
    std::string server, user, password, dir, localPath, remoteName;
    int port = kDefaultFtpPort;
    FtpMode mode = FtpMode::active;
    FtpTls tls = FtpTls::none;
    bool atomic = false;
    bool insecure = false;
    // Not empty: why this upload must not start (a setting it cannot follow). Nothing is
    // then sent, not even the user name, and the outcome says this.
    std::string refused;
};

enum class UploadResult {
    NotStarted,  // libcurl could not be made ready: nothing was tried
    Sent,
    Failed,
};

struct UploadOutcome {
    UploadResult result = UploadResult::NotStarted;
    // What went wrong (libcurl's word or the upload's own), then what the clean-up after
    // it did, if anything was cleaned up.
    std::string why;
    // The server's reply that explains the failure (or its last one); empty when it said nothing.
    std::string lastReply;
};

// Returns when the transfer has ended, within about half a minute, without dispatching
// any message: the caller's window procedure is not entered while it runs.
UploadOutcome SendPicture(const UploadPlan& plan);
