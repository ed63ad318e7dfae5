// Sends a picture over SFTP (libcurl on libssh2), on the upload's worker thread. The
// server's host key is checked against the pinned one before anything of the login is
// sent: a stranger never learns the password.
#pragma once
#include <windows.h>

#include <string>

#include <curl/curl.h>

#include "ftp_upload.h"

// The limits and the stop flag of the upload that runs this transfer.
struct SftpControl {
    ULONGLONG deadline = 0;         // every attempt to send the picture ends by then
    ULONGLONG cleanUpDeadline = 0;  // and removing a temporary file after them
    volatile LONG* stop = nullptr;  // set: end as soon as possible
    char* detail = nullptr;         // CURL_ERROR_SIZE bytes: what went wrong, for the log
    ULONGLONG stopAt = ~0ULL;       // whatever runs then is stopped
};

// The host key the server showed: SHA256 fingerprint as `ssh-keygen -lf` prints it, its
// algorithm, and whether it is the pinned one. Empty when no key was seen.
struct ShownHostKey {
    std::string fingerprint;
    std::string type;
    bool pinned = false;
};

// The picture (an open file) to the plan's server and name; with ftp_atomic under a
// temporary name first. Without a file it only logs in: CURLE_OK when the login worked.
CURLcode SendBySftp(const UploadPlan& plan, HANDLE file, const SftpControl& control, ShownHostKey& shown);
