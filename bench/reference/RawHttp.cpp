#include "RawHttp.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

std::wstring Widen(const char* text) {
    const int length = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    std::wstring wide(length > 0 ? length - 1 : 0, L'\0');
    if (length > 1) MultiByteToWideChar(CP_UTF8, 0, text, -1, wide.data(), length);
    return wide;
}

void Fail(const char* what, DWORD error) {
    std::printf("%s failed: %lu\n", what, static_cast<unsigned long>(error));
    std::fflush(stdout);
    ExitProcess(1);
}

CRawHttp::CRawHttp(const wchar_t* host, INTERNET_PORT port, std::wstring sessionHeaders)
    : m_headers(std::move(sessionHeaders)) {
    m_session = WinHttpOpen(L"raw-bench", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                            WINHTTP_NO_PROXY_BYPASS, 0);
    if (m_session == nullptr) Fail("WinHttpOpen", GetLastError());
    m_connection = WinHttpConnect(m_session, host, port, 0);
    if (m_connection == nullptr) Fail("WinHttpConnect", GetLastError());
}

CRawHttp::~CRawHttp() {
    WinHttpCloseHandle(m_connection);
    WinHttpCloseHandle(m_session);
}

HINTERNET CRawHttp::Open(const wchar_t* verb, const std::wstring& path) {
    HINTERNET request = WinHttpOpenRequest(m_connection, verb, path.c_str(), nullptr, WINHTTP_NO_REFERER,
                                           WINHTTP_DEFAULT_ACCEPT_TYPES, WINHTTP_FLAG_REFRESH);
    if (request == nullptr) Fail("WinHttpOpenRequest", GetLastError());
    return request;
}

void CRawHttp::Send(HINTERNET request, const std::wstring& headers, const void* body, DWORD length, DWORD total) {
    std::wstring all = m_headers;
    if (!headers.empty()) all += L"\r\n" + headers;
    if (!WinHttpSendRequest(request, all.c_str(), static_cast<DWORD>(-1), const_cast<void*>(body), length, total, 0))
        Fail("WinHttpSendRequest", GetLastError());
}

void CRawHttp::Receive(HINTERNET request) {
    if (!WinHttpReceiveResponse(request, nullptr)) Fail("WinHttpReceiveResponse", GetLastError());
    DWORD status = 0;
    DWORD size = sizeof(status);
    if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX))
        Fail("WinHttpQueryHeaders", GetLastError());
    if (status != 200) Fail("HTTP status", status);
}

DWORD CRawHttp::ReadArrived(HINTERNET request, char* buffer, DWORD room) {
    // As the platform's own samples read: what has arrived, at most the
    // room at a time. Asked for more than the rest of a small body, a read
    // under Wine waits before it returns.
    DWORD available = 0;
    if (!WinHttpQueryDataAvailable(request, &available)) Fail("WinHttpQueryDataAvailable", GetLastError());
    if (available == 0) return 0;
    DWORD read = 0;
    if (!WinHttpReadData(request, buffer, available < room ? available : room, &read))
        Fail("WinHttpReadData", GetLastError());
    return read;
}

std::string CRawHttp::ReadAll(HINTERNET request) {
    std::string body;
    char buffer[16384];
    while (const DWORD read = ReadArrived(request, buffer, sizeof(buffer))) body.append(buffer, read);
    return body;
}

std::string CRawHttp::Get(const std::wstring& path) {
    HINTERNET request = Open(L"GET", path);
    Send(request, L"", nullptr, 0, 0);
    Receive(request);
    std::string body = ReadAll(request);
    WinHttpCloseHandle(request);
    return body;
}

void CRawHttp::GetToFile(const std::wstring& path, HANDLE file, DWORD chunk) {
    HINTERNET request = Open(L"GET", path);
    Send(request, L"", nullptr, 0, 0);
    Receive(request);
    std::vector<char> buffer(chunk);
    while (const DWORD read = ReadArrived(request, buffer.data(), chunk)) {
        DWORD written = 0;
        if (!WriteFile(file, buffer.data(), read, &written, nullptr) || written != read) Fail("WriteFile", GetLastError());
    }
    WinHttpCloseHandle(request);
}

std::string CRawHttp::Post(const std::wstring& path, const std::wstring& headers, const void* body, DWORD length) {
    HINTERNET request = Open(L"POST", path);
    Send(request, headers, body, length, length);
    Receive(request);
    std::string answer = ReadAll(request);
    WinHttpCloseHandle(request);
    return answer;
}

std::string CRawHttp::PostFile(const std::wstring& path, const std::wstring& headers, HANDLE file, DWORD chunk) {
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(file, &size) || size.QuadPart > 0xFFFFFFFFLL) Fail("GetFileSizeEx", GetLastError());
    const DWORD total = static_cast<DWORD>(size.QuadPart);
    HINTERNET request = Open(L"POST", path);
    Send(request, headers, nullptr, 0, total);
    std::vector<char> buffer(chunk);
    for (DWORD sent = 0; sent < total;) {
        const DWORD piece = total - sent < chunk ? total - sent : chunk;
        DWORD read = 0;
        if (!ReadFile(file, buffer.data(), piece, &read, nullptr) || read != piece) Fail("ReadFile", GetLastError());
        DWORD written = 0;
        if (!WinHttpWriteData(request, buffer.data(), piece, &written)) Fail("WinHttpWriteData", GetLastError());
        sent += written;
    }
    Receive(request);
    std::string answer = ReadAll(request);
    WinHttpCloseHandle(request);
    return answer;
}
