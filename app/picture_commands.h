// Saving and uploading as the menu, the keys and the automatic cycle ask for them: the
// program's own state (last saved name, title, countdown, preview) is kept here.
#pragma once
#include <windows.h>

#include <cstdint>

#include "numbered_save.h"

// Posted to the main window by the upload's worker when the transfer has ended.
constexpr UINT WM_PELMIX_UPLOAD_ENDED = WM_APP + 1;

// Records the name the save reports as the last saved one, even a name with no file.
SaveOutcome SaveNumberedImage(SaveKind kind, int32_t startNumber = 0);
// Starts sending the last saved picture to the FTP server and returns; the upload title
// is shown and the preview is off until it ends. Nothing starts while one runs.
void UploadLastImage();
// Why the last UploadLastImage started nothing; null when it started an upload.
const char* UploadNotStartedWhy();
// WM_PELMIX_UPLOAD_ENDED: logs a failure, restores title and preview, and the countdown
// starts a full period again.
void OnUploadEnded();
// An upload runs: a command that would save or upload is refused (the first refusal of
// each upload is logged) and true is returned.
bool RefuseWhileUploading();
// Closing: a running upload ends within about a second.
void EndUploadForExit();
