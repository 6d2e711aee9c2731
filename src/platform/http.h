#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

// Downloads over HTTP and HTTPS through WinHTTP, loaded from the system
// folder when first needed, with the system's proxy settings.

// Where a download's bytes go as they come.
class DownloadSink {
public:
    // False: stop, the download failed (a file that cannot be written).
    virtual bool take(const char* a_bytes, std::size_t a_length) = 0;

protected:
    ~DownloadSink() = default;
};

// GETs a_address into a_sink. Every step (connecting, sending, the
// response, each read) waits at most a_stepMs; an answer other than 200, or
// one of more than a_limit bytes, fails. Returns empty when every byte came,
// else why not, for the log ("no connection (error 12029)").
std::wstring download(const std::wstring& a_address, unsigned long long a_limit, DWORD a_stepMs,
                      DownloadSink& a_sink);

// Whether Windows reports the connection as metered (a fixed or variable
// cost, over its data limit, or roaming); false when it cannot tell.
bool connectionIsMetered();
