// The tray icon's tooltip over the states Pelmix can be in.
#include <gtest/gtest.h>

#include <string>

#include "tray_tip.h"

namespace {

TrayStatus Status(const char* saveTime, const char* saveName, const char* uploadTime, bool uploadFailed,
                  NextCycle next, const char* nextText = "")
{
    return {saveTime, saveName, uploadTime, uploadFailed, next, nextText};
}

TEST(TrayTip, SaysTheLastSaveTheLastUploadAndTheNextCycle)
{
    // "ン" in code page 932: its second byte looks like a lead byte.
    std::string longName;
    for (int i = 0; i < 60; ++i)
        longName += "\x83\x93";
    struct Case {
        TrayStatus status;
        std::string tip;
    };
    const Case cases[] = {
        {Status("", "", "", false, NextCycle::ModeOff),
         "Pelmix\n保存: まだありません\nアップロード: まだありません\n次の撮影: 自動処理は停止中"},
        {Status("07:05:03", "pc00001.jpg", "", false, NextCycle::CountingDown, "07:15:03"),
         "Pelmix\n保存: 07:05:03 pc00001.jpg\nアップロード: まだありません\n次の撮影: 07:15:03"},
        {Status("07:05:03", "", "", false, NextCycle::Busy),
         "Pelmix\n保存: 07:05:03 失敗\nアップロード: まだありません\n次の撮影: 撮影中"},
        {Status("07:05:03", "pc00001.jpg", "07:05:04", false, NextCycle::Paused, "06:12"),
         "Pelmix\n保存: 07:05:03 pc00001.jpg\nアップロード: 07:05:04 成功\n次の撮影: 撮影休止中 (06:12 に再開)"},
        {Status("07:05:03", "pc00001.jpg", "07:05:34", true, NextCycle::CountingDown, "07:15:03"),
         "Pelmix\n保存: 07:05:03 pc00001.jpg\nアップロード: 07:05:34 失敗\n次の撮影: 07:15:03"},
        // 127 bytes would end on the first byte of a character: the tip stops before it. The
        // name starts on a character boundary, and at an even byte, with the words before it
        // in code page 932 and in the native tree's UTF-8 alike.
        {Status("07:05:03", longName.c_str(), "07:05:04", false, NextCycle::Busy),
         ("Pelmix\n保存: 07:05:03 " + longName).substr(0, kTrayTipBytes - 1)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tip);
        EXPECT_EQ(TrayTipText(c.status), c.tip);
    }
}

}  // namespace
