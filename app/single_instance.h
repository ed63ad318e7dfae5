// One Pelmix per folder: two in the same folder would share Pelmix.ini, the log and
// the fixed picture slot. Different folders (two cameras) run side by side.
#pragma once
#include <windows.h>

class FolderInstance {
public:
    FolderInstance() = default;
    ~FolderInstance();
    FolderInstance(const FolderInstance&) = delete;
    FolderInstance& operator=(const FolderInstance&) = delete;

    // Claims the current folder for this process. False when another Pelmix already
    // runs in it: that one's window has then been brought to the front.
    bool Claim();
    // Tells later starts which window to bring to the front.
    void Publish(HWND mainWindow);

private:
    HANDLE mapping_ = nullptr;
    void* view_ = nullptr;
};
