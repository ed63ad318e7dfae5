// The connection dialog (template 130): port, data connection, TLS and atomic replace of
// the upload, opened modally from the file menu.
#pragma once
#include <windows.h>

INT_PTR CALLBACK ConnectionDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
