#include "BrelioCore/JXHttpRequest.h"

#include <windows.h>
#include <winhttp.h>

#include <cstring>
#include <cwchar>

#include "AwaitedRequest.h"
#include "WinHttpSession.h"

using brelio::UniqueWinHttpHandle;

namespace {

constexpr DWORD kChunk = 1 << 20;
constexpr DWORD kSmallChunk = 64 << 10;
constexpr DWORD kFlagReload = 0x80000000;  // always from the network

HRESULT LastError() {
    const DWORD error = ::GetLastError();
    return error == ERROR_SUCCESS ? E_FAIL : HRESULT_FROM_WIN32(error);
}

const wchar_t* VerbOf(int method) {
    switch (method) {
        case CJXHttpRequest::kRead: return L"GET";
        case CJXHttpRequest::kSubmit: return L"POST";
        case CJXHttpRequest::kReplace: return L"PUT";
        default: return nullptr;
    }
}

// Reads `length` bytes at `offset` without moving the handle's own file
// pointer, so that parts of one file can be sent one after the other.
HRESULT ReadAt(HANDLE file, ULONGLONG offset, void* buffer, DWORD length) {
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD read = 0;
    if (!::ReadFile(file, buffer, length, &read, &at)) return LastError();
    // A file that shrank under us must not go out with a short body.
    if (read != length) return CJXHttpRequest::E_TRUNCATED;
    return S_OK;
}

HRESULT WriteAll(HANDLE file, const void* data, DWORD length) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    while (length > 0) {
        DWORD written = 0;
        if (!::WriteFile(file, bytes, length, &written, nullptr)) return LastError();
        if (written == 0) return HRESULT_FROM_WIN32(ERROR_WRITE_FAULT);
        bytes += written;
        length -= written;
    }
    return S_OK;
}

}  // namespace

// What goes out after the headers.
struct CJXHttpRequest::Body {
    const void* memory = nullptr;
    HANDLE file = nullptr;
    ULONGLONG offset = 0;
    DWORD length = 0;
};

// Where the response body goes.
struct CJXHttpRequest::Sink {
    CJXMemoryStream* stream = nullptr;
    HANDLE file = nullptr;
    IJXProgressCallback* progress = nullptr;
};

namespace {

thread_local HANDLE t_cancelEvents[2] = {};

}  // namespace

void CJXHttpRequest::SetThreadCancelEvent(HANDLE event, HANDLE otherEvent) {
    t_cancelEvents[0] = event;
    t_cancelEvents[1] = otherEvent;
}

bool CJXHttpRequest::WaitUntilAllClosed(DWORD milliseconds) { return brelio::WaitUntilNoAwaitedCallStates(milliseconds); }

CJXHttpRequest::~CJXHttpRequest() { Close(false); }

void CJXHttpRequest::AddHeaders(const wchar_t* text) {
    if (text == nullptr || *text == L'\0') return;
    if (!m_headers.empty() && m_headers.compare(m_headers.size() - 2, 2, L"\r\n") != 0)
        m_headers += L"\r\n";
    m_headers += text;
}

void CJXHttpRequest::SetUserAgent(const wchar_t* text) { m_userAgent = text ? text : L""; }

HRESULT CJXHttpRequest::Open(int) {
    if (brelio::SharedWinHttpSession() == nullptr) return LastError();
    m_opened = true;
    m_statusCode = 0;
    return S_OK;
}

HRESULT CJXHttpRequest::SetOption(DWORD option, DWORD value, bool) {
    if (option != WINHTTP_OPTION_RECEIVE_TIMEOUT) return E_INVALIDARG;
    m_receiveTimeout = value;
    return S_OK;
}

void CJXHttpRequest::Close(bool) { m_opened = false; }

HRESULT CJXHttpRequest::GetResponse(const CJXUri& uri, int method, const void* body, DWORD length,
                                    CJXMemoryStream* response, DWORD flags) {
    if (body == nullptr && length != 0) return E_POINTER;
    Body out;
    out.memory = body;
    out.length = length;
    Sink in;
    in.stream = response;
    return Send(uri, method, out, in, flags);
}

HRESULT CJXHttpRequest::GetResponse(const CJXUri& uri, int method, HANDLE file,
                                    CJXMemoryStream* response, DWORD flags) {
    LARGE_INTEGER size = {};
    if (!::GetFileSizeEx(file, &size)) return LastError();
    if (size.QuadPart > 0xFFFFFFFFLL) return HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE);
    return GetResponse(uri, method, file, 0, static_cast<DWORD>(size.QuadPart), response, flags);
}

HRESULT CJXHttpRequest::GetResponse(const CJXUri& uri, int method, HANDLE file, ULONGLONG offset,
                                    DWORD length, CJXMemoryStream* response, DWORD flags) {
    if (file == nullptr || file == INVALID_HANDLE_VALUE) return E_HANDLE;
    Body out;
    out.file = file;
    out.offset = offset;
    out.length = length;
    Sink in;
    in.stream = response;
    return Send(uri, method, out, in, flags);
}

HRESULT CJXHttpRequest::Download(const CJXUri& uri, HANDLE file, DWORD flags,
                                 IJXProgressCallback* progress, int) {
    if (file == nullptr || file == INVALID_HANDLE_VALUE) return E_HANDLE;
    Sink in;
    in.file = file;
    in.progress = progress;
    return Send(uri, kRead, Body{}, in, flags);
}

HRESULT CJXHttpRequest::Send(const CJXUri& uri, int method, const Body& body, const Sink& sink,
                             DWORD flags) {
    if (!m_opened) return E_UNEXPECTED;
    m_location.clear();
    const wchar_t* verb = VerbOf(method);
    if (verb == nullptr) return E_INVALIDARG;

    URL_COMPONENTS parts = {};
    parts.dwStructSize = sizeof(parts);
    parts.dwSchemeLength = static_cast<DWORD>(-1);
    parts.dwHostNameLength = static_cast<DWORD>(-1);
    parts.dwUrlPathLength = static_cast<DWORD>(-1);
    parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (!::WinHttpCrackUrl(uri.c_str(), 0, 0, &parts)) return LastError();
    const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
    std::wstring object(parts.lpszUrlPath, parts.dwUrlPathLength);
    object.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    if (object.empty()) object = L"/";

    // Declared after its connection, the request is closed first.
    UniqueWinHttpHandle connection;
    brelio::CAwaitedRequest request(t_cancelEvents[0], t_cancelEvents[1]);
    // Nothing goes out from a thread that was told to stop.
    if (request.IsCancelled()) return E_ABORT;
    connection.Reset(::WinHttpConnect(brelio::SharedWinHttpSession(), host.c_str(), parts.nPort, 0));
    if (!connection) return LastError();

    DWORD requestFlags = 0;
    if (parts.nScheme == INTERNET_SCHEME_HTTPS) requestFlags |= WINHTTP_FLAG_SECURE;
    if (flags & kFlagReload) requestFlags |= WINHTTP_FLAG_REFRESH;
    HRESULT hr = request.Open(connection.Get(), verb, object.c_str(), requestFlags);
    if (FAILED(hr)) return hr;

    if (m_redirects == Redirects::kReturn) {
        // Not followed behind the caller's back, or not sent at all.
        DWORD never = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
        if (!::WinHttpSetOption(request.Handle(), WINHTTP_OPTION_REDIRECT_POLICY, &never, sizeof(never)))
            return LastError();
    }

    if (m_receiveTimeout != 0) {
        // The receive time-out alone does not bound the wait for the
        // response headers; the receive-response time-out does.
        DWORD value = m_receiveTimeout;
        ::WinHttpSetOption(request.Handle(), WINHTTP_OPTION_RECEIVE_TIMEOUT, &value, sizeof(value));
        ::WinHttpSetOption(request.Handle(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &value,
                           sizeof(value));
    }

    std::wstring headers = m_headers;
    if (!m_userAgent.empty()) {
        if (!headers.empty() && headers.compare(headers.size() - 2, 2, L"\r\n") != 0)
            headers += L"\r\n";
        headers += L"User-Agent: " + m_userAgent;
    }

    // A body in memory goes out with the headers: written separately, the
    // small second write can wait on a delayed acknowledgement.
    const bool inline_ = body.memory != nullptr && body.length > 0;
    if (inline_) {
        unsigned char* staged = request.Buffer(body.length);
        if (staged == nullptr) return E_OUTOFMEMORY;
        memcpy(staged, body.memory, body.length);
    }
    hr = request.Send(headers.c_str(), inline_ ? body.length : 0, body.length);
    if (FAILED(hr)) return hr;

    if (body.file != nullptr) {
        DWORD sent = 0;
        while (sent < body.length) {
            const DWORD piece = (body.length - sent) < kChunk ? (body.length - sent) : kChunk;
            unsigned char* chunk = request.Buffer(piece);
            if (chunk == nullptr) return E_OUTOFMEMORY;
            hr = ReadAt(body.file, body.offset + sent, chunk, piece);
            if (FAILED(hr)) return hr;
            if (sent + piece == body.length && m_fileBodyCheck) {
                hr = m_fileBodyCheck();
                if (FAILED(hr)) return hr;
            }
            DWORD written = 0;
            hr = request.Write(piece, written);
            if (FAILED(hr)) return hr;
            if (written == 0) return HRESULT_FROM_WIN32(ERROR_WRITE_FAULT);
            sent += written;
        }
    }

    hr = request.ReceiveResponse();
    if (FAILED(hr)) return hr;

    DWORD status = 0;
    DWORD size = sizeof(status);
    if (!::WinHttpQueryHeaders(request.Handle(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                               WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX))
        return LastError();
    m_statusCode = status;

    DWORD locationSize = 0;
    if (!::WinHttpQueryHeaders(request.Handle(), WINHTTP_QUERY_LOCATION, WINHTTP_HEADER_NAME_BY_INDEX,
                               WINHTTP_NO_OUTPUT_BUFFER, &locationSize, WINHTTP_NO_HEADER_INDEX) &&
        ::GetLastError() == ERROR_INSUFFICIENT_BUFFER && locationSize >= sizeof(wchar_t)) {
        std::wstring location(locationSize / sizeof(wchar_t), L'\0');
        if (::WinHttpQueryHeaders(request.Handle(), WINHTTP_QUERY_LOCATION, WINHTTP_HEADER_NAME_BY_INDEX,
                                  location.data(), &locationSize, WINHTTP_NO_HEADER_INDEX)) {
            location.resize(locationSize / sizeof(wchar_t));
            m_location = std::move(location);
        }
    }

    // Both Windows HTTP stacks read a body cut short of its Content-Length
    // as complete; count the bytes ourselves.
    bool haveLength = false;
    ULONGLONG expected = 0;
    wchar_t lengthText[32] = {};
    DWORD lengthSize = sizeof(lengthText);
    if (::WinHttpQueryHeaders(request.Handle(), WINHTTP_QUERY_CONTENT_LENGTH, WINHTTP_HEADER_NAME_BY_INDEX,
                              lengthText, &lengthSize, WINHTTP_NO_HEADER_INDEX)) {
        wchar_t* end = nullptr;
        expected = std::wcstoull(lengthText, &end, 10);
        haveLength = end != lengthText && *end == L'\0';
    }

    if (haveLength && expected > m_responseLimit) return E_TOO_LARGE;

    if (sink.stream != nullptr) sink.stream->Clear();
    // Answers read into memory are small; a large buffer for each of them
    // costs more than the answer itself. They are read as they arrive, so
    // that a cancel ends even one that trickles in; a file's body comes in
    // whole chunks, for speed. No read asks for more than the announced
    // rest of the body, so that a small body never takes a large buffer.
    const DWORD chunk = sink.file != nullptr ? kChunk : kSmallChunk;
    ULONGLONG received = 0;
    // With a length, the body ends when it is all there: asking once more
    // for its end would be one more call for nothing.
    while (!haveLength || received < expected) {
        if (sink.progress != nullptr && sink.progress->IsCancelled()) return E_ABORT;
        const DWORD room = haveLength && expected - received < chunk ? static_cast<DWORD>(expected - received) : chunk;
        DWORD read = 0;
        hr = sink.file != nullptr ? request.Read(room, read) : request.ReadArrived(room, read);
        if (FAILED(hr)) return hr;
        if (read == 0) break;
        received += read;
        if (haveLength && received > expected) return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
        if (received > m_responseLimit) return E_TOO_LARGE;
        if (sink.stream != nullptr) {
            if (!sink.stream->Write(request.Data(), read)) return E_OUTOFMEMORY;
        } else if (sink.file != nullptr) {
            hr = WriteAll(sink.file, request.Data(), read);
            if (FAILED(hr)) return hr;
        }
        if (sink.progress != nullptr) sink.progress->OnProgress(received, expected, nullptr);
    }
    if (haveLength && received != expected) return E_TRUNCATED;
    return S_OK;
}
