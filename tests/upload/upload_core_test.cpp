// Where an upload's picture lies and under which name it is sent; the server's replies.
#include <cstring>

#include <gtest/gtest.h>

#include "picture_path.h"
#include "sftp_core.h"
#include "upload_core.h"

// The picture's path as the save, the backup limits and the upload all read it.
TEST(PicturePath, EveryKindOfNameIsReadWithTheImageFolderAsTheCurrentOne)
{
    const struct { const char* folder; const char* name; const char* path; } cases[] = {
        {"C:\\img\\", "pc00001.jpg", "C:\\img\\pc00001.jpg"},
        {"C:\\img", "Z:\\pics\\pc00001.jpg", "Z:\\pics\\pc00001.jpg"},
        {"\\\\srv\\share\\img", "\\pics\\pc", "\\\\srv\\share\\pics\\pc"},
        {"c:\\img", "C:pc00001.jpg", "c:\\img\\pc00001.jpg"},
        {"C:\\img", "D:pc00001.jpg", "D:pc00001.jpg"},
        {"", "pc00001.jpg", "pc00001.jpg"},
        // The trail byte of \x95\x5c is no separator, so a folder ending in it gets one.
        {"C:\\\x95\x5c", "pc", "C:\\\x95\x5c\\pc"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PicturePathText(c.folder, c.name), c.path) << c.folder << " + " << c.name;
}

TEST(RemoteUploadName, IsDutJpgWhenSetElseTheFilesOwnName)
{
    EXPECT_EQ(RemoteUploadName("cam.jpg", "pc00007.jpg"), "cam.jpg");
    EXPECT_EQ(RemoteUploadName("cam.jpg", "pc00007.bmp"), "cam.jpg");
    EXPECT_EQ(RemoteUploadName("cam.jpg", ""), "cam.jpg");
    EXPECT_EQ(RemoteUploadName("", "pc00007.jpg"), "pc00007.jpg");
    EXPECT_EQ(RemoteUploadName("", ""), "");
    EXPECT_EQ(RemoteUploadName("", "Z:\\pics\\pc00007.jpg"), "pc00007.jpg");
    EXPECT_EQ(RemoteUploadName("", "\x95\x5c" "00007.jpg"), "\x95\x5c" "00007.jpg");
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
    EXPECT_EQ(AtomicOldName("cam.jpg"), "cam.jpg.pelmix-old");
    const std::string here = UploadCopyName("C:\\webcam");
    EXPECT_EQ(here.size(), 15u);
    EXPECT_EQ(here.substr(0, 3), "pmx");
    EXPECT_EQ(here.substr(11), ".tmp");
    EXPECT_EQ(UploadCopyName("c:\\WEBCAM"), here);  // one folder, however it is spelt
    EXPECT_NE(UploadCopyName("C:\\webcam2"), here);
}

TEST(SizeReply, ReadsTheBytesOfA213AndNothingElse)
{
    const struct { const char* line; int64_t size; } rows[] = {
        {"213 29883\r\n", 29883}, {"213 0\r\n", 0}, {"213 8589934592", 8589934592},
        {"213 20261209070503.000\r\n", -1}, {"213-29883\r\n", -1}, {"550 No such file\r\n", -1},
        {"213 \r\n", -1}, {"213 12ab\r\n", -1}, {"213 99999999999999999999\r\n", -1},
    };
    for (const auto& row : rows)
        EXPECT_EQ(SizeReply(row.line, strlen(row.line)), row.size) << row.line;
}

TEST(Sftp, Paths)
{
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
