// Frames turned as the settings ask.
#include "turned_frame.h"

#include "dib_transform.h"
#include "settings_store.h"
#include "win_handles.h"

namespace {

Orientation ReadOrientation()
{
    const int32_t rotate = ReadSetting(Setting::rotate);
    return ParseOrientation(rotate, ReadSetting(Setting::flip).c_str());
}

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes)
{
    const KernelHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size = {};
    if (!file || !GetFileSizeEx(file.get(), &size) || size.QuadPart > 0x40000000)
        return false;
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    return ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) && read == bytes.size();
}

}  // namespace

CapturedFrame TurnedFrame(const CapturedFrame& frame, std::vector<uint8_t>& store)
{
    const Orientation turn = ReadOrientation();
    if (turn.IsNone() || !TurnBmp(frame.bmp, frame.size, turn, store))
        return frame;
    return CapturedFrame{store.data(), store.size()};
}

void TurnSavedBmp(const std::string& path)
{
    const Orientation turn = ReadOrientation();
    std::vector<uint8_t> bytes, turned;
    if (turn.IsNone() || !ReadWholeFile(path, bytes) || !TurnBmp(bytes.data(), bytes.size(), turn, turned))
        return;
    bool opened, written;
    {
        const KernelHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD count = 0;
        opened = static_cast<bool>(file);
        written = opened && WriteFile(file.get(), turned.data(), static_cast<DWORD>(turned.size()), &count, nullptr) &&
                  count == turned.size();
    }
    // A picture cut short would pass for a whole one; one that could not be opened is
    // left as the camera gave it.
    if (opened && !written)
        DeleteFileA(path.c_str());
}
