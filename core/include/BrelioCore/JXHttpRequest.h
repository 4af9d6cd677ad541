#pragma once
#include <windows.h>

#include <string>

#include "BrelioCore/JXMemoryStream.h"
#include "BrelioCore/JXProgressCallback.h"
#include "BrelioCore/JXUri.h"

// One HTTP request over WinHTTP. All requests of the process share one
// session, so connections are kept alive across requests and the user's
// proxy settings apply as in other Windows programs. Certificates are
// always verified.
class CJXHttpRequest {
public:
    // Method values of the callers: read, create or submit, replace.
    enum Method { kRead = 0, kSubmit = 1, kReplace = 2 };
    // A response that ends before its Content-Length.
    static constexpr HRESULT E_TRUNCATED = HRESULT_FROM_WIN32(ERROR_HANDLE_EOF);

    CJXHttpRequest() = default;
    ~CJXHttpRequest();
    CJXHttpRequest(const CJXHttpRequest&) = delete;
    CJXHttpRequest& operator=(const CJXHttpRequest&) = delete;

    // "\r\n"-separated header lines; an empty text adds none.
    void AddHeaders(const wchar_t* text);
    void SetUserAgent(const wchar_t* text);
    // Readies the request; negative means nothing will be sent.
    HRESULT Open(int reserved = 0);
    // Option 6 bounds every wait for data, response headers included.
    HRESULT SetOption(DWORD option, DWORD value, bool reserved = false);

    // Each returns a non-negative value once a complete response arrived.
    HRESULT GetResponse(const CJXUri& uri, int method, const void* body, DWORD length,
                        CJXMemoryStream* response, DWORD flags);
    HRESULT GetResponse(const CJXUri& uri, int method, HANDLE file, CJXMemoryStream* response,
                        DWORD flags);
    HRESULT GetResponse(const CJXUri& uri, int method, HANDLE file, ULONGLONG offset, DWORD length,
                        CJXMemoryStream* response, DWORD flags);

    // Writes the body of a GET into the file, at its current end of data.
    HRESULT Download(const CJXUri& uri, HANDLE file, DWORD flags, IJXProgressCallback* progress,
                     int reserved = 0);

    // Once either event is set, every request of the calling thread ends
    // with E_ABORT: one waiting for the server (to connect, take the body,
    // answer or send the rest of its answer) at once, a new one before
    // anything goes out. A worker's stop then never waits for the server.
    // A request cut short this way leaves its answer unread: the server may
    // have done what it asked. Null events: no checks.
    static void SetThreadCancelEvent(HANDLE event, HANDLE otherEvent = nullptr);

    DWORD GetStatusCode() const { return m_statusCode; }
    void Close(bool reserved = false);

private:
    struct Body;
    struct Sink;
    HRESULT Send(const CJXUri& uri, int method, const Body& body, const Sink& sink, DWORD flags);

    std::wstring m_headers;
    std::wstring m_userAgent;
    DWORD m_receiveTimeout = 0;  // 0: WinHTTP's own
    DWORD m_statusCode = 0;
    bool m_opened = false;
};
