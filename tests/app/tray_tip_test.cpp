// The tray icon's tooltip over the states Pelmix can be in.
#include <gtest/gtest.h>

#include <string>

#include "tray_tip.h"

TEST(TrayTip, SaysTheLastSaveTheLastUploadAndTheNextCycle)
{
    const std::string equals(120, '\x81');  // "＝" sixty times in code page 932: each byte looks like a first byte
    const std::pair<TrayStatus, std::string> cases[] = {
        {{"", "", "", false, NextCycle::ModeOff, ""},
         "Pelmix\n保存: まだありません\nアップロード: まだありません\n次の撮影: 自動処理は停止中"},
        {{"07:05:03", "pc00001.jpg", "", false, NextCycle::CountingDown, "07:15:03"},
         "Pelmix\n保存: 07:05:03 pc00001.jpg\nアップロード: まだありません\n次の撮影: 07:15:03"},
        {{"07:05:03", "", "", false, NextCycle::Busy, ""},
         "Pelmix\n保存: 07:05:03 失敗\nアップロード: まだありません\n次の撮影: 撮影中"},
        {{"07:05:03", "pc00001.jpg", "07:05:04", false, NextCycle::Paused, "06:12"},
         "Pelmix\n保存: 07:05:03 pc00001.jpg\nアップロード: 07:05:04 成功\n次の撮影: 撮影休止中 (06:12 に再開)"},
        {{"07:05:03", "pc00001.jpg", "07:05:34", true, NextCycle::CountingDown, "07:15:03"},
         "Pelmix\n保存: 07:05:03 pc00001.jpg\nアップロード: 07:05:34 失敗\n次の撮影: 07:15:03"},
        // The 127th byte would be the first of a character. The name starts at an even byte, with the
        // words before it in code page 932 and in the native tree's UTF-8 alike.
        {{"07:05:03", equals, "", false, NextCycle::Busy, ""}, ("Pelmix\n保存: 07:05:03 " + equals).substr(0, 126)},
    };
    for (const auto& [status, tip] : cases)
        EXPECT_EQ(TrayTipText(status), tip);
}
