// Saving and uploading as the menu, the keys and the automatic cycle ask for them: the
// program's own state (last saved name, title, countdown, preview) is kept here.
#pragma once
#include <cstdint>

#include "connection_dialog.h"
#include "numbered_save.h"

// Records the name the save reports as the last saved one, even a name with no file.
void SaveNumberedImage(SaveKind kind, int32_t startNumber = 0);
// The last saved picture to the FTP server, with the upload title and the preview off
// meanwhile; afterwards the countdown starts a full period again.
void UploadLastImage();
// The connection dialog's test, on its worker thread: connects and logs in with the values
// it was handed (nothing read from the settings file there) and sends nothing.
ProbeReport TestConnection(const ConnectionValues& values);
