// What an upload sends and under which name, from the settings and the last saved name.
#include <gtest/gtest.h>

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
