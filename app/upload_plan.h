// What the next upload does, from the settings as they are now.
#pragma once
#include <string>

#include "ftp_upload.h"

// The settings as they are now, for the picture of that name in the image folder. A
// setting the upload cannot follow fills plan.refused instead of a guess.
UploadPlan PlanUpload(const std::string& lastSavedFileName);
