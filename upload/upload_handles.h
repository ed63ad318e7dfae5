// Owning wrappers of what an upload opens: kernel handles (the worker thread, the
// copy that is sent), the libcurl transfer and its command lists. Non-copyable; each
// closes once.
#pragma once
#include <windows.h>

#include <curl/curl.h>

class KernelHandle {
public:
    explicit KernelHandle(HANDLE handle) : handle_(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
    ~KernelHandle()
    {
        if (handle_)
            CloseHandle(handle_);
    }
    KernelHandle(const KernelHandle&) = delete;
    KernelHandle& operator=(const KernelHandle&) = delete;

    HANDLE get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }
    // Hands the handle over to whoever closes it later.
    HANDLE release()
    {
        HANDLE handle = handle_;
        handle_ = nullptr;
        return handle;
    }

private:
    HANDLE handle_;
};

class CurlTransfer {
public:
    CurlTransfer() : handle_(curl_easy_init()) {}
    ~CurlTransfer()
    {
        if (handle_)
            curl_easy_cleanup(handle_);
    }
    CurlTransfer(const CurlTransfer&) = delete;
    CurlTransfer& operator=(const CurlTransfer&) = delete;

    CURL* get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }

private:
    CURL* handle_;
};

// FTP commands sent before or after a transfer; libcurl keeps only the pointer, so the
// list must live until the transfer that uses it has ended.
class CurlCommands {
public:
    CurlCommands() = default;
    ~CurlCommands() { curl_slist_free_all(list_); }
    CurlCommands(const CurlCommands&) = delete;
    CurlCommands& operator=(const CurlCommands&) = delete;

    // False when out of memory; the list is then left as it was.
    bool Add(const char* command)
    {
        curl_slist* longer = curl_slist_append(list_, command);
        if (!longer)
            return false;
        list_ = longer;
        return true;
    }
    curl_slist* get() const { return list_; }

private:
    curl_slist* list_ = nullptr;
};
