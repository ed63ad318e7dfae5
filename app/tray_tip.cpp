// The notification-area icon's tooltip text.
#include "tray_tip.h"

namespace {

bool IsCp932LeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// The longest start of the text that fits and ends on a whole character. The walk starts
// at the first byte: a second byte may look like a lead byte.
std::string CutToWholeCharacters(const std::string& text, size_t limit)
{
    size_t length = 0;
    while (length < text.size()) {
        const size_t step = IsCp932LeadByte(static_cast<unsigned char>(text[length])) ? 2 : 1;
        if (length + step > limit || length + step > text.size())
            break;
        length += step;
    }
    return text.substr(0, length);
}

std::string NextCycleText(const TrayStatus& status)
{
    switch (status.next) {
    case NextCycle::CountingDown:
        return status.nextText;
    case NextCycle::Busy:
        return "撮影中";
    case NextCycle::Paused:
        return "撮影休止中 (" + status.nextText + " に再開)";
    case NextCycle::ModeOff:
        break;
    }
    return "自動処理は停止中";
}

}  // namespace

std::string TrayTipText(const TrayStatus& status)
{
    std::string tip = "Pelmix\n保存: ";
    if (status.saveTime.empty())
        tip += "まだありません";
    else
        tip += status.saveTime + " " + (status.saveName.empty() ? "失敗" : status.saveName);
    tip += "\nアップロード: ";
    if (status.uploadTime.empty())
        tip += "まだありません";
    else
        tip += status.uploadTime + (status.uploadFailed ? " 失敗" : " 成功");
    tip += "\n次の撮影: " + NextCycleText(status);
    return CutToWholeCharacters(tip, kTrayTipBytes);
}
