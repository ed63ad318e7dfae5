// The connection dialog's test: connects and logs in as an upload would, sends nothing,
// and tells what it learnt (the SSH host key, the TLS certificate). Blocks for at most
// about 15 s; meant for a worker thread.
#pragma once
#include "ftp_upload.h"
#include "sftp_core.h"

ProbeReport ProbeConnection(const UploadPlan& plan);
