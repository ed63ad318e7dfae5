// What the next upload does, from the settings as they are now.
#pragma once
#include <string>

#include "connection_dialog.h"
#include "ftp_upload.h"

// The settings as they are now, for the picture of that name in the image folder. A
// setting the upload cannot follow fills plan.refused instead of a guess.
UploadPlan PlanUpload(const std::string& lastSavedFileName);
// The connection dialog's test, on its worker thread: connects and logs in with the values
// it was handed (nothing read from the settings file there) and sends nothing.
ConnectionTestResult TestConnection(const ConnectionValues& values);
