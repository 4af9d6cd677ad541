#include "PageFetch.h"

#include <winhttp.h>

#include <map>

#include "BrelioCore/UniqueHandle.h"

namespace brelio::test {

namespace {

// host -> cookie name -> value
std::map<std::wstring, std::map<std::wstring, std::wstring>> g_cookies;

HRESULT LastError() {
    const DWORD error = ::GetLastError();
    return error == ERROR_SUCCESS ? E_FAIL : HRESULT_FROM_WIN32(error);
}

HINTERNET Session() {
    static HINTERNET session = [] {
        HINTERNET handle = ::WinHttpOpen(L"BrelioTestBrowser", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                         WINHTTP_NO_PROXY_BYPASS, 0);
        if (handle != nullptr) {
            // The browser keeps its own cookies and follows its own
            // redirects, so it knows where each page came from.
            DWORD features = WINHTTP_DISABLE_COOKIES | WINHTTP_DISABLE_REDIRECTS;
            ::WinHttpSetOption(handle, WINHTTP_OPTION_DISABLE_FEATURE, &features, sizeof(features));
        }
        return handle;
    }();
    return session;
}

std::wstring QueryText(HINTERNET request, DWORD what, DWORD* index) {
    DWORD size = 0;
    ::WinHttpQueryHeaders(request, what, WINHTTP_HEADER_NAME_BY_INDEX, nullptr, &size, index);
    if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0) return std::wstring();
    std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
    if (!::WinHttpQueryHeaders(request, what, WINHTTP_HEADER_NAME_BY_INDEX, text.data(), &size, index)) {
        return std::wstring();
    }
    text.resize(size / sizeof(wchar_t));
    return text;
}

void KeepCookies(HINTERNET request, const std::wstring& host) {
    for (DWORD index = 0;;) {
        const DWORD before = index;
        const std::wstring line = QueryText(request, WINHTTP_QUERY_SET_COOKIE, &index);
        if (line.empty() || index == before) break;
        const std::wstring pair = line.substr(0, line.find(L';'));
        const size_t equals = pair.find(L'=');
        if (equals == std::wstring::npos) continue;
        const std::wstring name = pair.substr(0, equals);
        const std::wstring value = pair.substr(equals + 1);
        if (line.find(L"Max-Age=0") != std::wstring::npos || value.empty()) {
            g_cookies[host].erase(name);
        } else {
            g_cookies[host][name] = value;
        }
    }
}

std::wstring CookieHeader(const std::wstring& host) {
    std::wstring header;
    for (const auto& [name, value] : g_cookies[host]) {
        header += header.empty() ? L"Cookie: " : L"; ";
        header += name + L"=" + value;
    }
    return header;
}

// A Location against the address it was answered for.
std::wstring Resolve(const std::wstring& base, const std::wstring& location) {
    if (location.find(L"://") != std::wstring::npos) return location;
    const size_t hostStart = base.find(L"://");
    const size_t pathStart = hostStart == std::wstring::npos ? std::wstring::npos : base.find(L'/', hostStart + 3);
    const std::wstring origin = pathStart == std::wstring::npos ? base : base.substr(0, pathStart);
    if (!location.empty() && location[0] == L'/') return origin + location;
    const size_t lastSlash = base.rfind(L'/');
    return (lastSlash != std::wstring::npos && lastSlash >= (pathStart == std::wstring::npos ? base.size() : pathStart)
                ? base.substr(0, lastSlash + 1)
                : origin + L"/") +
           location;
}

HRESULT FetchOne(const std::wstring& address, FetchedPage& page, std::wstring& location) {
    URL_COMPONENTS parts = {};
    parts.dwStructSize = sizeof(parts);
    parts.dwHostNameLength = static_cast<DWORD>(-1);
    parts.dwUrlPathLength = static_cast<DWORD>(-1);
    parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (!::WinHttpCrackUrl(address.c_str(), 0, 0, &parts)) return LastError();
    std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
    for (wchar_t& c : host) c = static_cast<wchar_t>(towlower(c));
    std::wstring object(parts.lpszUrlPath, parts.dwUrlPathLength);
    object.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    if (object.empty()) object = L"/";

    brelio::UniqueWinHttpHandle connection(::WinHttpConnect(Session(), host.c_str(), parts.nPort, 0));
    if (!connection) return LastError();
    brelio::UniqueWinHttpHandle request(::WinHttpOpenRequest(connection.Get(), L"GET", object.c_str(), nullptr,
                                                             WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                                             parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0));
    if (!request) return LastError();
    DWORD never = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
    ::WinHttpSetOption(request.Get(), WINHTTP_OPTION_REDIRECT_POLICY, &never, sizeof(never));
    const std::wstring cookies = CookieHeader(host);
    if (!::WinHttpSendRequest(request.Get(), cookies.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS : cookies.c_str(),
                              static_cast<DWORD>(-1L), WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
        !::WinHttpReceiveResponse(request.Get(), nullptr)) {
        return LastError();
    }
    DWORD status = 0;
    DWORD size = sizeof(status);
    if (!::WinHttpQueryHeaders(request.Get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                               WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX)) {
        return LastError();
    }
    KeepCookies(request.Get(), host);
    page.address = address;
    page.status = status;
    page.body.clear();
    location.clear();
    if (status == 301 || status == 302 || status == 303 || status == 307 || status == 308) {
        location = QueryText(request.Get(), WINHTTP_QUERY_LOCATION, WINHTTP_NO_HEADER_INDEX);
    }
    for (;;) {
        DWORD available = 0;
        if (!::WinHttpQueryDataAvailable(request.Get(), &available)) return LastError();
        if (available == 0) break;
        std::string chunk(available, '\0');
        DWORD read = 0;
        if (!::WinHttpReadData(request.Get(), chunk.data(), available, &read)) return LastError();
        if (read == 0) break;
        page.body.append(chunk.data(), read);
    }
    return S_OK;
}

}  // namespace

HRESULT FetchPage(const std::wstring& address, FetchedPage& page) {
    std::wstring next = address;
    for (int hop = 0; hop < 10; ++hop) {
        std::wstring location;
        const HRESULT hr = FetchOne(next, page, location);
        if (FAILED(hr) || location.empty()) return hr;
        next = Resolve(next, location);
    }
    return HRESULT_FROM_WIN32(ERROR_WINHTTP_REDIRECT_FAILED);
}

void ForgetCookies() { g_cookies.clear(); }

}  // namespace brelio::test
