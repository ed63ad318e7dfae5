// The settings store on the real private-profile functions and real files under Wine.
#include <windows.h>

#include <climits>
#include <string>

#include <gtest/gtest.h>

#include "settings_store.h"
#include "settings_test_support.h"

TEST(SettingsStoreStart, StartsOnWinIniUntilStartUpPointsItAtPelmixIni)
{
    SettingsStore fresh;
    EXPECT_EQ(fresh.filePath, "win.ini");
    EXPECT_EQ(fresh.sectionName, "SETTING");
    EXPECT_EQ(fresh.keyName, "key");
    EXPECT_EQ(fresh.lastResult, "");
}

using SettingsWithoutFile = IniFolderTest;

TEST_F(SettingsWithoutFile, EveryReadYieldsItsDefault)
{
    EXPECT_EQ(ReadSetting(Setting::st), "pc");
    EXPECT_EQ(ReadSetting(Setting::msg), "[%y/%m/%d %H:%M]");
    EXPECT_EQ(ReadSetting(Setting::localDir), ".");
    EXPECT_EQ(ReadSetting(Setting::server), "");
    EXPECT_EQ(ReadSetting(Setting::id), "");
    EXPECT_EQ(ReadSetting(Setting::pass), "");
    EXPECT_EQ(ReadSetting(Setting::dutJpg), "");
    EXPECT_EQ(ReadSetting(Setting::dir), "");
    EXPECT_EQ(ReadSetting(Setting::jpegQ), 75);
    EXPECT_EQ(ReadSetting(Setting::timer), 60);
    EXPECT_FALSE(FileExists(kIni)) << "reading must not create the file";
}

TEST_F(SettingsWithoutFile, AFileWithoutTheSectionOrKeyAlsoYieldsDefaults)
{
    WriteFileBytes(kIni, "[OTHER]\r\nst=xx\r\njpeg_q=9\r\n");
    EXPECT_EQ(ReadSetting(Setting::st), "pc");
    EXPECT_EQ(ReadSetting(Setting::jpegQ), 75);
    WriteFileBytes(kIni, "[SETTING]\r\nmsg=m\r\n");
    AgeFileTimeForward(kIni);
    EXPECT_EQ(ReadSetting(Setting::st), "pc");
    EXPECT_EQ(ReadSetting(Setting::timer), 60);
}

TEST_F(SettingsWithoutFile, AWriteCreatesTheFileInTheCurrentFolder)
{
    g_settings.SelectKey("st").WriteString("cam");
    EXPECT_EQ(ReadFileBytes(kIni), "[SETTING]\r\nst=cam\r\n");
    EXPECT_EQ(ReadFileBytes((folder_ + "\\Pelmix.ini").c_str()), "[SETTING]\r\nst=cam\r\n");
}

using SettingsValues = IniFolderTest;

TEST_F(SettingsValues, AStringReadsBackAsWritten)
{
    g_settings.SelectKey("msg").WriteString("撮影 %H時%M分");
    g_settings.SelectKey("local_dir").WriteString("C:\\画像\\");
    EXPECT_EQ(ReadSetting(Setting::msg), "撮影 %H時%M分");
    EXPECT_EQ(ReadSetting(Setting::localDir), "C:\\画像\\");
}

TEST_F(SettingsValues, BlanksAndQuotesAtTheEndsReadBackAsTyped)
{
    for (const char* typed : {" pw", "pw ", "\tpw\t", " ", "\"pw\"", "'pw'", "\"", "''", "\" pw ' "}) {
        g_settings.SelectKey("pass").WriteString(typed);
        EXPECT_EQ(ReadSetting(Setting::pass), typed) << "[" << typed << "]";
    }
    // The quotes take two of the 255 bytes a read can bring back.
    std::string longest = " " + std::string(252, 'x');
    g_settings.SelectKey("pass").WriteString(longest.c_str());
    EXPECT_EQ(ReadSetting(Setting::pass), longest);
}

TEST_F(SettingsValues, OnlyValuesThatNeedItAreWrittenInQuotes)
{
    g_settings.SelectKey("st").WriteString("a b");
    g_settings.SelectKey("id").WriteString("\"a");
    g_settings.SelectKey("pass").WriteString("p w ");
    EXPECT_EQ(ReadFileBytes(kIni), "[SETTING]\r\nst=a b\r\nid=\"a\r\npass=\"p w \"\r\n");
    EXPECT_EQ(ReadSetting(Setting::id), "\"a");
}

TEST_F(SettingsValues, GetStringKeepsTheTextInLastResultUntilTheNextRead)
{
    g_settings.SelectKey("st").WriteString("first");
    g_settings.SelectKey("id").WriteString("second");
    const std::string& result = g_settings.SelectKey("st").GetString("pc");
    EXPECT_EQ(&result, &g_settings.lastResult);
    EXPECT_EQ(g_settings.keyName, "st");
    EXPECT_EQ(result, "first");
    g_settings.SelectKey("id").GetString("");
    EXPECT_EQ(g_settings.lastResult, "second");
}

TEST_F(SettingsValues, AnEmptyValueIsStoredAsAKeyAndReadsAsEmptyNotAsTheDefault)
{
    g_settings.SelectKey("st").WriteString("");
    g_settings.SelectKey("local_dir").WriteString("");
    EXPECT_EQ(ReadFileBytes(kIni), "[SETTING]\r\nst=\r\nlocal_dir=\r\n");
    EXPECT_EQ(ReadSetting(Setting::st), "");
    EXPECT_EQ(ReadSetting(Setting::localDir), "");
}

TEST_F(SettingsValues, ANullValueIsWrittenAsEmptyAndNeverDeletesTheKey)
{
    g_settings.SelectKey("st").WriteString("cam");
    g_settings.SelectKey("st").WriteString(nullptr);
    EXPECT_EQ(ReadFileBytes(kIni), "[SETTING]\r\nst=\r\n");
}

TEST_F(SettingsValues, AValueLongerThan255CharactersIsStoredWholeAndReadsBackCutTo255)
{
    std::string value(300, 'x');
    value[254] = 'A';
    value[255] = 'B';
    g_settings.SelectKey("msg").WriteString(value.c_str());
    EXPECT_EQ(ReadFileBytes(kIni), "[SETTING]\r\nmsg=" + value + "\r\n");
    EXPECT_EQ(ReadSetting(Setting::msg), value.substr(0, 255));
}

TEST_F(SettingsValues, ALongDoubleByteValueReadsBackWithoutHalfACharacter)
{
    // 130 two-byte characters: byte 255 would be the first half of the 128th.
    g_settings.SelectKey("msg").WriteString(Kanji(130).c_str());
    EXPECT_EQ(ReadSetting(Setting::msg), Kanji(127));
}

TEST_F(SettingsValues, IntegersAreWrittenAsPercentDTextAndReadBackTheSame)
{
    g_settings.SelectKey("jpeg_q").WriteInt(500);
    g_settings.SelectKey("timer").WriteInt(-1);
    EXPECT_EQ(ReadFileBytes(kIni), "[SETTING]\r\njpeg_q=500\r\ntimer=-1\r\n");
    EXPECT_EQ(ReadSetting(Setting::jpegQ), 500);
    EXPECT_EQ(ReadSetting(Setting::timer), -1);

    for (int32_t value : {0, 1, INT32_MAX, INT32_MIN}) {
        g_settings.SelectKey("timer").WriteInt(value);
        EXPECT_EQ(ReadSetting(Setting::timer), value);
    }
    EXPECT_EQ(ReadFileBytes(kIni), "[SETTING]\r\njpeg_q=500\r\ntimer=-2147483648\r\n");
}

TEST_F(SettingsValues, AWriteReplacesTheValueInPlace)
{
    g_settings.SelectKey("st").WriteString("a");
    g_settings.SelectKey("msg").WriteString("b");
    g_settings.SelectKey("st").WriteString("c");
    EXPECT_EQ(ReadFileBytes(kIni), "[SETTING]\r\nst=c\r\nmsg=b\r\n");
}

using SettingsOnDisk = IniFolderTest;

TEST_F(SettingsOnDisk, AChangeMadeByHandIsSeenAtTheNextRead)
{
    WriteFileBytes(kIni, "[SETTING]\r\nst=cam\r\ntimer=30\r\n");
    EXPECT_EQ(ReadSetting(Setting::st), "cam");
    EXPECT_EQ(ReadSetting(Setting::timer), 30);

    WriteFileBytes(kIni, "[SETTING]\r\nst=door\r\ntimer=5\r\n");
    AgeFileTimeForward(kIni);
    EXPECT_EQ(ReadSetting(Setting::st), "door");
    EXPECT_EQ(ReadSetting(Setting::timer), 5);

    WriteFileBytes(kIni, "[SETTING]\r\n");
    AgeFileTimeForward(kIni);
    EXPECT_EQ(ReadSetting(Setting::st), "pc");
    EXPECT_EQ(ReadSetting(Setting::timer), 60);
}

TEST_F(SettingsOnDisk, TheFileOfTheCurrentFolderIsUsed)
{
    WriteFileBytes(kIni, "[SETTING]\r\nst=here\r\n");
    std::string other = folder_ + "\\other";
    ASSERT_TRUE(CreateDirectoryA(other.c_str(), nullptr));
    ASSERT_TRUE(SetCurrentDirectoryA(other.c_str()));
    EXPECT_EQ(ReadSetting(Setting::st), "pc");
    WriteFileBytes(kIni, "[SETTING]\r\nst=there\r\n");
    EXPECT_EQ(ReadSetting(Setting::st), "there");
    DeleteFileA(kIni);
    ASSERT_TRUE(SetCurrentDirectoryA(folder_.c_str()));
    RemoveDirectoryA(other.c_str());
    EXPECT_EQ(ReadSetting(Setting::st), "here");
}

TEST_F(SettingsOnDisk, AReadOnlyFileIsLeftAsItIsAndKeepsItsValues)
{
    const std::string before = "[SETTING]\r\nst=cam\r\njpeg_q=80\r\n";
    WriteFileBytes(kIni, before);
    ASSERT_TRUE(SetFileAttributesA(kIni, FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(g_settings.SelectKey("st").WriteString("changed"));
    EXPECT_FALSE(g_settings.SelectKey("jpeg_q").WriteInt(5));
    EXPECT_FALSE(WriteSetting(Setting::ftpTls, 1));
    EXPECT_EQ(ReadFileBytes(kIni), before);
    EXPECT_EQ(ReadSetting(Setting::st), "cam");
    EXPECT_EQ(ReadSetting(Setting::jpegQ), 80);
    EXPECT_EQ(ReadSetting(Setting::ftpTls).index, 0);
}

// A value that is not what the key takes never becomes a number that deletes pictures,
// a port elsewhere or a weaker connection.
TEST_F(SettingsOnDisk, KeysWithARangeOrWordsReadStrictly)
{
    const struct { const char* value; int32_t keepFiles, keepDays, port; int tls; int32_t keepFreeMb; } rows[] = {
        {"", 0, 0, 21, -1, 0}, {"3", 3, 3, 3, -1, 3}, {"4294967297", 0, 0, 21, -1, 0}, {"1e9", 0, 0, 21, -1, 0},
        {"2145abc", 0, 0, 21, -1, 0}, {"0x861", 0, 0, 21, -1, 0}, {"4294969441", 0, 0, 21, -1, 0}, {"-1", 0, 0, 21, -1, 0},
        {"99999", 99999, 0, 21, -1, 99999}, {"EXPLICIT", 0, 0, 21, 1, 0}, {"16777217", 0, 0, 21, -1, 0},
    };
    for (const auto& row : rows) {
        const std::string value = row.value;
        WriteFileBytes(kIni, "[SETTING]\r\nkeep_files=" + value + "\r\nkeep_days=" + value + "\r\nftp_port=" + value +
                                 "\r\nftp_tls=" + value + "\r\nkeep_free_mb=" + value + "\r\n");
        AgeFileTimeForward(kIni);
        EXPECT_EQ(ReadSetting(Setting::keepFreeMb), row.keepFreeMb) << value;
        EXPECT_EQ(ReadSetting(Setting::keepFiles), row.keepFiles) << value;
        EXPECT_EQ(ReadSetting(Setting::keepDays), row.keepDays) << value;
        EXPECT_EQ(ReadSetting(Setting::ftpPort), row.port) << value;
        EXPECT_EQ(ReadSetting(Setting::ftpTls).index, row.tls) << value;
        EXPECT_EQ(ReadSetting(Setting::ftpTls).text, value);
    }
}
