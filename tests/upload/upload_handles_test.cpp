// The handle wrappers of the upload close what they own, once, and nothing else.
#include <gtest/gtest.h>

#include "upload_handles.h"

namespace {

bool InternetHandleOpen(HINTERNET handle)
{
    DWORD type = 0, size = sizeof(type);
    return InternetQueryOptionA(handle, INTERNET_OPTION_HANDLE_TYPE, &type, &size) != FALSE;
}

bool KernelHandleOpen(HANDLE handle)
{
    DWORD flags = 0;
    return GetHandleInformation(handle, &flags) != FALSE;
}

HINTERNET OpenRoot() { return InternetOpenA("Pelmix", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0); }

}  // namespace

TEST(InternetHandle, ClosesItsHandleWhenItGoes)
{
    HINTERNET raw = OpenRoot();
    ASSERT_TRUE(raw);
    ASSERT_TRUE(InternetHandleOpen(raw));
    {
        InternetHandle handle(raw);
        EXPECT_TRUE(handle);
        EXPECT_EQ(handle.get(), raw);
    }
    EXPECT_FALSE(InternetHandleOpen(raw));
}

TEST(InternetHandle, CloseEarlyClosesOnceAndEmptiesTheWrapper)
{
    HINTERNET raw = OpenRoot();
    ASSERT_TRUE(raw);
    InternetHandle handle(raw);
    handle.Close();
    EXPECT_FALSE(handle);
    EXPECT_EQ(handle.get(), nullptr);
    EXPECT_FALSE(InternetHandleOpen(raw));
    handle.Close();  // nothing left to close
}

TEST(InternetHandle, ANullHandleIsFalse)
{
    InternetHandle handle(nullptr);
    EXPECT_FALSE(handle);
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
