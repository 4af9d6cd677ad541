#pragma once
#include <windows.h>

#include <functional>
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
    // A response body longer than the caller's limit.
    static constexpr HRESULT E_TOO_LARGE = HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE);

    // Who follows a redirect. kFollow: the HTTP stack, to wherever the
    // server points (never from https to http). kReturn: nobody; the 3xx
    // answer is the response, and GetLocation tells where it points, so
    // that a caller that must know where it reads from follows it itself.
    enum class Redirects { kFollow, kReturn };
    // Tells whether the file a body was read from is still as it was.
    using FileBodyCheck = std::function<HRESULT()>;

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
    // kFollow unless set.
    void SetRedirects(Redirects redirects) { m_redirects = redirects; }
    // A response body longer than `bytes` ends the request with E_TOO_LARGE,
    // before it is read when its Content-Length says so. No limit unless set.
    void SetResponseLimit(ULONGLONG bytes) { m_responseLimit = bytes; }
    // A body read from a file is one version of that file only if nothing
    // wrote to it while it was read. When set, the check runs once the last
    // piece of such a body has been read and before that piece goes out; a
    // failure it returns ends the request with that code there, so that the
    // server never takes the whole body.
    void SetFileBodyCheck(FileBodyCheck check) { m_fileBodyCheck = std::move(check); }

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

    // WinHTTP reports on its own threads, and may do so after a request
    // was closed (a read still pending ends when the server next sends):
    // a library that is unloaded after a call must not return before it
    // is done. True once WinHTTP has reported every request of this module
    // closed, after which it calls nothing of it; false when some are still
    // open after `milliseconds`.
    [[nodiscard]] static bool WaitUntilAllClosed(DWORD milliseconds);

    DWORD GetStatusCode() const { return m_statusCode; }
    // The Location header of the last response, as the server sent it;
    // empty when it had none.
    const std::wstring& GetLocation() const { return m_location; }
    void Close(bool reserved = false);

private:
    struct Body;
    struct Sink;
    HRESULT Send(const CJXUri& uri, int method, const Body& body, const Sink& sink, DWORD flags);

    std::wstring m_headers;
    std::wstring m_userAgent;
    DWORD m_receiveTimeout = 0;  // 0: WinHTTP's own
    DWORD m_statusCode = 0;
    std::wstring m_location;
    Redirects m_redirects = Redirects::kFollow;
    ULONGLONG m_responseLimit = ~0ULL;
    FileBodyCheck m_fileBodyCheck;
    bool m_opened = false;
};
