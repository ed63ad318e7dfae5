// Resource and command ids, grouped by kind. Shared by the .rc files and the code.
#pragma once

// Icons, strings, menu, accelerators
#define IDI_PELMIX          107
#define IDI_SMALL           108
#define IDI_UPLOAD_FAILED   110   // the tray's icon after a failed upload
#define IDS_APP_TITLE       103
#define IDC_PELMIX          109   // window class name string, menu and accelerator table

// Dialogs
#define IDD_ABOUTBOX        103
#define IDD_SETTINGS        129
#define IDD_CONNECTION      130

// Commands
#define IDM_ABOUT           104
#define IDM_EXIT            105
#define IDM_CAPTURE_DIALOGS 32771
#define IDM_SAVE_CAPTIONED  32772
#define IDM_UPLOAD          32773
#define IDM_AUTO            32774
#define IDM_SETTINGS        32775
#define IDM_STRETCH         32776
#define IDM_AUTO_UPLOAD     32777
#define IDM_SAVE_BMP        32778
#define IDM_SAVE_JPG        32779
#define IDM_AUTO_BACKUP     32780
#define IDM_OPEN_FOLDER     32781
#define IDM_AUTO_START      32790
#define IDM_OPEN_LOG        32791
#define IDM_CONNECTION      32792

// Settings dialog fields
#define IDC_ST              1000
#define IDC_MSG             1001
#define IDC_LOCAL_DIR       1002
#define IDC_SERVER          1003
#define IDC_ID              1004
#define IDC_PASS            1005
#define IDC_DIR             1006
#define IDC_JPEG_Q          1007
#define IDC_DUT_JPG         1008
#define IDC_TIMER           1009

// Connection dialog fields
#define IDC_FTP_PORT        1010
#define IDC_FTP_MODE        1011
#define IDC_FTP_TLS         1012
#define IDC_FTP_ATOMIC      1013
#define IDC_FTP_TLS_INSECURE 1014
#define IDC_PROTOCOL        1015
#define IDC_SSH_KEY         1016
#define IDC_SSH_KEY_BROWSE  1017
#define IDC_SSH_HOSTKEY     1018
#define IDC_CONNECT_TEST    1019
#define IDC_TEST_RESULT     1020

#ifndef IDC_STATIC
#define IDC_STATIC          (-1)
#endif
