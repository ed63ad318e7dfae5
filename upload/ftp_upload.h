// Sends the last saved picture to the FTP server of the settings.
#pragma once

void UploadLastImage();
