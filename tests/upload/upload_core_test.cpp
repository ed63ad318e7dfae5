// What an upload sends and under which name, from the settings and the last saved name.
#include <gtest/gtest.h>

#include "sftp_core.h"
#include "upload_core.h"

TEST(LocalUploadPath, JoinsTheImageFolderAndTheFileWithOneBackslash)
{
    EXPECT_EQ(LocalUploadPath(".", "pc00001.jpg"), ".\\pc00001.jpg");
    EXPECT_EQ(LocalUploadPath("C:\\images", "pc00001.bmp"), "C:\\images\\pc00001.bmp");
}

TEST(LocalUploadPath, KeepsTheFolderAsItIsEvenWithATrailingBackslash)
{
    EXPECT_EQ(LocalUploadPath("C:\\images\\", "pc99999.jpg"), "C:\\images\\\\pc99999.jpg");
}

TEST(LocalUploadPath, BeforeAnySaveIsTheFolderAndABackslash)
{
    EXPECT_EQ(LocalUploadPath(".", ""), ".\\");
    EXPECT_EQ(LocalUploadPath("", ""), "\\");
}

TEST(RemoteUploadName, IsDutJpgWhenSet)
{
    EXPECT_EQ(RemoteUploadName("cam.jpg", "pc00007.jpg"), "cam.jpg");
    EXPECT_EQ(RemoteUploadName("cam.jpg", "pc00007.bmp"), "cam.jpg");
    EXPECT_EQ(RemoteUploadName("cam.jpg", ""), "cam.jpg");
}

TEST(RemoteUploadName, IsTheFilesOwnNameWhenDutJpgIsEmpty)
{
    EXPECT_EQ(RemoteUploadName("", "pc00007.jpg"), "pc00007.jpg");
    EXPECT_EQ(RemoteUploadName("", ""), "");
}

TEST(UploadTitle, PutsTheUploadNoticeBeforeTheApplicationTitle)
{
    EXPECT_EQ(UploadTitle("Pelmix"), "アップロード中 - Pelmix");
    EXPECT_EQ(UploadTitle(""), "アップロード中 - ");
}

TEST(FtpSettingWords, ReadTheStoredWordsAndFallBackToThePlainUpload)
{
    const struct { const char* text; FtpMode mode; } modes[] = {
        {"active", FtpMode::active}, {"passive", FtpMode::passive}, {"auto", FtpMode::automatic},
        {"", FtpMode::active}, {"PASSIVE", FtpMode::active}, {"pasv", FtpMode::active},
    };
    for (const auto& row : modes) {
        EXPECT_EQ(ParseFtpMode(row.text), row.mode) << row.text;
    }
    const struct { const char* text; FtpTls tls; } tlsWords[] = {
        {"none", FtpTls::none}, {"explicit", FtpTls::explicitTls}, {"implicit", FtpTls::implicitTls},
        {"", FtpTls::none}, {"yes", FtpTls::none},
    };
    for (const auto& row : tlsWords) {
        EXPECT_EQ(ParseFtpTls(row.text), row.tls) << row.text;
    }
    // What the dialog writes reads back the same.
    for (FtpMode mode : {FtpMode::active, FtpMode::passive, FtpMode::automatic})
        EXPECT_EQ(ParseFtpMode(FtpModeName(mode)), mode);
    for (FtpTls tls : {FtpTls::none, FtpTls::explicitTls, FtpTls::implicitTls})
        EXPECT_EQ(ParseFtpTls(FtpTlsName(tls)), tls);
}

TEST(FtpPort, TakesOneTo65535AndNothingElse)
{
    const struct { const char* text; bool ok; int port; } rows[] = {
        {"21", true, 21}, {" 990 ", true, 990}, {"1", true, 1}, {"65535", true, 65535},
        {"0", false, 0}, {"65536", false, 0}, {"99999999999999999999", false, 0}, {"", false, 0},
        {"  ", false, 0}, {"-21", false, 0}, {"21a", false, 0}, {"2 1", false, 0}, {"0x15", false, 0},
    };
    for (const auto& row : rows) {
        int port = -1;
        EXPECT_EQ(ParseFtpPort(row.text, port), row.ok) << row.text;
        if (row.ok)
            EXPECT_EQ(port, row.port) << row.text;
        else
            EXPECT_EQ(port, -1) << "a refused port must leave the value alone: " << row.text;
    }
    EXPECT_EQ(UsableFtpPort(2121), 2121);
    EXPECT_EQ(UsableFtpPort(0), 21);
    EXPECT_EQ(UsableFtpPort(-5), 21);
    EXPECT_EQ(UsableFtpPort(70000), 21);
}

TEST(FtpUrl, EscapesTheRemoteNameAndBracketsIpv6)
{
    EXPECT_EQ(FtpUrl(FtpTls::none, "127.0.0.1", 21, "cam.jpg"), "ftp://127.0.0.1:21/cam.jpg");
    EXPECT_EQ(FtpUrl(FtpTls::explicitTls, "example.org", 2121, "pc00001.jpg"), "ftp://example.org:2121/pc00001.jpg");
    EXPECT_EQ(FtpUrl(FtpTls::implicitTls, "example.org", 990, ""), "ftps://example.org:990/");
    EXPECT_EQ(FtpUrl(FtpTls::none, "::1", 21, "a b#?%.jpg"), "ftp://[::1]:21/a%20b%23%3F%25.jpg");
    // A code page 932 name, byte for byte: カメラ.jpg.
    EXPECT_EQ(UrlEscape("sub/\x83J\x83\x81\x83\x89.jpg"), "sub%2F%83J%83%81%83%89.jpg");
}

TEST(UploadInput, RefusesWhatWouldChangeTheConversation)
{
    EXPECT_TRUE(UsableServerName("ftp.example.org"));
    EXPECT_TRUE(UsableServerName("127.0.0.1"));
    for (const char* bad : {"", "host/evil", "user@host", "host?x", "host#x", "ho st", "host\r\n", "h%41"})
        EXPECT_FALSE(UsableServerName(bad)) << bad;
    EXPECT_TRUE(UsableFtpArgument("photos/2024"));
    EXPECT_TRUE(UsableFtpArgument(""));
    EXPECT_FALSE(UsableFtpArgument("photos\r\nDELE index.html"));
    EXPECT_FALSE(UsableFtpArgument(std::string("a\0b", 3)));
}

TEST(UploadNames, TemporaryBesideTheFinalAndCopyPerFolder)
{
    EXPECT_EQ(AtomicTempName("cam.jpg"), "cam.jpg.pelmix-part");
    EXPECT_EQ(AtomicTempName("sub/cam.jpg"), "sub/cam.jpg.pelmix-part");
    const std::string here = UploadCopyName("C:\\webcam");
    EXPECT_EQ(here.size(), 15u);
    EXPECT_EQ(here.substr(0, 3), "pmx");
    EXPECT_EQ(here.substr(11), ".tmp");
    EXPECT_EQ(UploadCopyName("c:\\WEBCAM"), here);  // one folder, however it is spelt
    EXPECT_NE(UploadCopyName("C:\\webcam2"), here);
}

TEST(Sftp, ProtocolWordAndPaths)
{
    EXPECT_EQ(ParseUploadProtocol(""), UploadProtocol::ftp);
    EXPECT_EQ(ParseUploadProtocol("SFTP"), UploadProtocol::unknown);
    EXPECT_EQ(SftpRemotePath("www/cam/", "cam.jpg"), "~/www/cam/cam.jpg");
    EXPECT_EQ(SftpRemotePath("/", "cam.jpg"), "/cam.jpg");
    EXPECT_EQ(SftpUrl("::1", 22, "~/a b/c.jpg"), "sftp://[::1]:22/~/a%20b/c.jpg");
    EXPECT_EQ(QuotedSftpPath("~/a \"b\"\\c"), "\"a \\\"b\\\"\\\\c\"");
}

TEST(Sftp, HostKeyPinAndType)
{
    const std::string shown = "SHA256:nT9zV3Oy4KE4Kp4qd3f6b1GEqrtn7tLSS8/jo+N7P3U";
    EXPECT_TRUE(SameHostKey(shown, shown));
    EXPECT_TRUE(SameHostKey(" " + shown + "= ", shown));
    EXPECT_FALSE(SameHostKey("SHA256:nt9zV3Oy4KE4Kp4qd3f6b1GEqrtn7tLSS8/jo+N7P3U", shown));
    EXPECT_FALSE(SameHostKey("SHA256:", "SHA256:"));
    const unsigned char blob[] = {0, 0, 0, 11, 's', 's', 'h', '-', 'e', 'd', '2', '5', '5', '1', '9', 0, 0};
    EXPECT_EQ(HostKeyType(blob, sizeof(blob)), "ssh-ed25519");
    EXPECT_EQ(HostKeyType(blob, 14), "");
}
