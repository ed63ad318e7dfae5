// The handle wrappers of the upload close what they own, once, and nothing else.
#include <gtest/gtest.h>

#include "upload_handles.h"

namespace {

bool KernelHandleOpen(HANDLE handle)
{
    DWORD flags = 0;
    return GetHandleInformation(handle, &flags) != FALSE;
}

}  // namespace

TEST(KernelHandle, AFailedOpenIsEmpty)
{
    // CreateFileA fails with INVALID_HANDLE_VALUE, not null: neither may be closed.
    KernelHandle failed(CreateFileA("no such file.jpg", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_FALSE(failed);
    EXPECT_EQ(failed.get(), nullptr);
    KernelHandle none(nullptr);
    EXPECT_FALSE(none);
}

TEST(CurlCommands, KeepsTheCommandsInTheirOrder)
{
    CurlCommands commands;
    EXPECT_EQ(commands.get(), nullptr);
    ASSERT_TRUE(commands.Add("*CWD photos"));
    ASSERT_TRUE(commands.Add("RNFR cam.jpg.pelmix-part"));
    ASSERT_TRUE(commands.Add("RNTO cam.jpg"));
    const char* expected[] = {"*CWD photos", "RNFR cam.jpg.pelmix-part", "RNTO cam.jpg"};
    const curl_slist* item = commands.get();
    for (const char* command : expected) {
        ASSERT_NE(item, nullptr);
        EXPECT_STREQ(item->data, command);
        item = item->next;
    }
    EXPECT_EQ(item, nullptr);
}

TEST(CurlTransfer, MakesAHandleThatTakesOptions)
{
    CurlTransfer transfer;
    ASSERT_TRUE(transfer);
    EXPECT_EQ(curl_easy_setopt(transfer.get(), CURLOPT_URL, "ftp://127.0.0.1:21/cam.jpg"), CURLE_OK);
    EXPECT_EQ(curl_multi_add_handle(transfer.multi(), transfer.get()), CURLM_OK);
    EXPECT_EQ(curl_multi_remove_handle(transfer.multi(), transfer.get()), CURLM_OK);
}

TEST(KernelHandle, ClosesItsHandleWhenItGoes)
{
    HANDLE raw = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_TRUE(raw);
    {
        KernelHandle handle(raw);
        EXPECT_TRUE(handle);
        EXPECT_TRUE(KernelHandleOpen(raw));
    }
    EXPECT_FALSE(KernelHandleOpen(raw));
}

TEST(KernelHandle, ReleaseHandsTheHandleOverOpen)
{
    HANDLE raw = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_TRUE(raw);
    HANDLE released = nullptr;
    {
        KernelHandle handle(raw);
        released = handle.release();
        EXPECT_FALSE(handle);
    }
    EXPECT_EQ(released, raw);
    EXPECT_TRUE(KernelHandleOpen(raw));
    CloseHandle(raw);
}
