// Owning wrappers of what an upload opens: the libcurl transfer and its command lists
// (kernel handles, for the worker thread and the copy that is sent, come with them).
// Non-copyable; each closes once.
#pragma once
#include <windows.h>

#include <curl/curl.h>

#include "win_handles.h"

// The limits every upload keeps, whatever its protocol: 10 s to connect and log in, under
// one byte a second for 10 s ends it, and `stop` is asked while it runs.
inline void SetTransferLimits(CURL* curl, curl_xferinfo_callback stop, void* data)
{
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, 10000L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, 10L);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, stop);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, data);
}

// The transfer and the multi handle that drives it. The multi handle keeps the connection
// between the steps of one upload, so that they run on one login; it goes last.
class CurlTransfer {
public:
    CurlTransfer() : handle_(curl_easy_init()), multi_(curl_multi_init()) {}
    ~CurlTransfer()
    {
        if (handle_)
            curl_easy_cleanup(handle_);
        if (multi_)
            curl_multi_cleanup(multi_);
    }
    CurlTransfer(const CurlTransfer&) = delete;
    CurlTransfer& operator=(const CurlTransfer&) = delete;

    CURL* get() const { return handle_; }
    CURLM* multi() const { return multi_; }
    explicit operator bool() const { return handle_ != nullptr && multi_ != nullptr; }

private:
    CURL* handle_;
    CURLM* multi_;
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
