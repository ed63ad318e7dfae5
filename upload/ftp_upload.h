// Sends a picture to an FTP server, on libcurl, as a plan says.
#pragma once
#include <windows.h>

#include <string>

#include "sftp_core.h"
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
    // protocol=sftp: the pinned host key ("SHA256:..."), and the private key file that
    // replaces the password (which then unlocks the key).
    UploadProtocol protocol = UploadProtocol::ftp;
    std::string sshHostKey, sshKey;
};

// Whether every text of the plan can go into a command to the server as it is: a line
// break in one would let a setting add commands of its own.
bool PlanIsSendable(const UploadPlan& plan);

enum class UploadResult {
    NotStarted,  // libcurl could not be made ready: nothing was tried
    Sent,
    Failed,
};

struct UploadOutcome {
    UploadResult result = UploadResult::NotStarted;
    std::string server;  // where it went, for the log
    // What went wrong (libcurl's word or the upload's own), then what the clean-up after
    // it did, if anything was cleaned up.
    std::string why;
    // The server's reply that explains the failure (or its last one); empty when it said nothing.
    std::string lastReply;
};

// One upload at a time runs on a worker thread beside the window, within about half a
// minute. StartUpload returns at once: false when one already runs or no worker could be
// started. When the transfer has ended the worker posts `endMessage` (no parameters) to
// `window`, and the window then calls FinishUpload for how it ended. These four are
// called from the window's thread only.
bool StartUpload(const UploadPlan& plan, HWND window, UINT endMessage);
bool UploadRunning();
// After the end message: the outcome, and the next upload may start.
UploadOutcome FinishUpload();
// Closing: a running upload is asked to stop and given up to `waitMs` to end; the copy it
// sends deletes itself when its last handle goes, so none is left even if it does not end.
void AbandonUpload(DWORD waitMs);
