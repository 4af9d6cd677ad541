#include "BrelioServices/RestFrame.h"

#include "BrelioCore/JXHttpRequest.h"
#include "BrelioCore/JXSRWLock.h"
#include "BrelioCore/TextConvert.h"
#include "BuildConfig.h"

namespace {

constexpr DWORD kRequestFlags = 0x80000200;  // always from the network, no UI

CJXSRWLock g_apiLock;
wchar_t g_sessionHeader[kSessionHeaderCapacity] = L"";
wchar_t g_userAgent[kUserAgentCapacity] = L"";

void PrepareRequest(CJXHttpRequest& request, const wchar_t* extraHeaders) {
    // A copy taken under the lock: a sign-in that replaces the session
    // never tears a request's header.
    wchar_t session[kSessionHeaderCapacity];
    wchar_t userAgent[kUserAgentCapacity];
    {
        CJXSRWLockGuard shared(g_apiLock);
        brelio::CopyTerminated(session, kSessionHeaderCapacity, g_sessionHeader);
        brelio::CopyTerminated(userAgent, kUserAgentCapacity, g_userAgent);
    }
    request.AddHeaders(session);
    if (extraHeaders != nullptr) request.AddHeaders(extraHeaders);
    request.SetUserAgent(userAgent);
}

HRESULT Finish(CJXHttpRequest& request, HRESULT sent, RequestStatus& status) {
    request.Close(false);
    if (sent < 0) return sent;
    status.statusCode = request.GetStatusCode();
    return status.statusCode == 200 ? S_OK : API_E_HTTP_STATUS;
}

template <typename Send>
HRESULT SendWith(RequestStatus& status, const wchar_t* extraHeaders, bool applyTimeout, Send&& send) {
    CJXHttpRequest request;
    PrepareRequest(request, extraHeaders);
    const HRESULT opened = request.Open(0);
    if (opened < 0) return opened;
    if (applyTimeout && status.receiveTimeout != 0xFFFFFFFF) request.SetOption(6, status.receiveTimeout, false);
    return Finish(request, send(request), status);
}

}  // namespace

void SetAuthHeader(const wchar_t* text) {
    CJXSRWLockGuard exclusive(g_apiLock, true);
    brelio::CopyTerminated(g_sessionHeader, kSessionHeaderCapacity, text ? text : L"");
}

void SetUserAgent(const wchar_t* text) {
    CJXSRWLockGuard exclusive(g_apiLock, true);
    brelio::CopyTerminated(g_userAgent, kUserAgentCapacity, text ? text : L"");
}

std::wstring GetAuthHeader() {
    CJXSRWLockGuard shared(g_apiLock);
    return g_sessionHeader;
}

const wchar_t* DriveApiBase() { return BRELIO_DRIVE_API_BASE; }
const wchar_t* MemberApiBase() { return BRELIO_MEMBER_API_BASE; }
const wchar_t* ServiceDomain() { return BRELIO_SERVICE_DOMAIN; }

HRESULT HttpGet(RequestStatus& status, const CJXUri& uri, CJXMemoryStream& response,
                const wchar_t* extraHeaders) {
    return SendWith(status, extraHeaders, false, [&](CJXHttpRequest& r) {
        return r.GetResponse(uri, CJXHttpRequest::kRead, nullptr, 0, &response, kRequestFlags);
    });
}

HRESULT HttpPost(RequestStatus& status, const CJXUri& uri, CJXMemoryStream& response, const void* body,
                 DWORD length, const wchar_t* extraHeaders) {
    return SendWith(status, extraHeaders, true, [&](CJXHttpRequest& r) {
        return r.GetResponse(uri, CJXHttpRequest::kSubmit, body, length, &response, kRequestFlags);
    });
}

HRESULT HttpPostFile(RequestStatus& status, const CJXUri& uri, CJXMemoryStream& response, HANDLE file,
                     const wchar_t* extraHeaders, const CJXHttpRequest::FileBodyCheck& check) {
    return SendWith(status, extraHeaders, false, [&](CJXHttpRequest& r) {
        r.SetFileBodyCheck(check);
        return r.GetResponse(uri, CJXHttpRequest::kSubmit, file, &response, kRequestFlags);
    });
}

HRESULT HttpPut(RequestStatus& status, const CJXUri& uri, CJXMemoryStream& response, const void* body,
                DWORD length, const wchar_t* extraHeaders) {
    return SendWith(status, extraHeaders, false, [&](CJXHttpRequest& r) {
        return r.GetResponse(uri, CJXHttpRequest::kReplace, body, length, &response, kRequestFlags);
    });
}

HRESULT HttpPutFileRange(RequestStatus& status, const CJXUri& uri, CJXMemoryStream& response,
                         HANDLE file, ULONGLONG offset, DWORD length, const wchar_t* extraHeaders,
                         const CJXHttpRequest::FileBodyCheck& check) {
    return SendWith(status, extraHeaders, false, [&](CJXHttpRequest& r) {
        r.SetFileBodyCheck(check);
        return r.GetResponse(uri, CJXHttpRequest::kReplace, file, offset, length, &response, kRequestFlags);
    });
}

ApiErrorCode DownloadRaw(RequestStatus&, uint64_t fileId, HANDLE file) {
    CJXUri uri(DriveApiBase());
    uri.AppendFormat(L"/files/%llu?media=raw", static_cast<unsigned long long>(fileId));
    CJXHttpRequest request;
    PrepareRequest(request, nullptr);
    const HRESULT opened = request.Open(0);
    if (opened < 0) return opened;
    const HRESULT got = request.Download(uri, file, kRequestFlags, nullptr, 0);
    const DWORD code = request.GetStatusCode();
    request.Close(false);
    if (got < 0) return got;
    return code == 200 ? S_OK : API_E_HTTP_STATUS;
}

ApiErrorCode MapResultCode(int serverCode) {
    static const int kServerCodes[] = {
        -15100000, -15100200, -15100201, -15100202, -15200200, -15300000, -15300100, -15300200,
        -15300700, -15400000, -15400100, -15400200, -15400201, -15400202, -15700000, -15700100,
    };
    for (size_t i = 0; i < sizeof(kServerCodes) / sizeof(kServerCodes[0]); ++i) {
        if (kServerCodes[i] == serverCode)
            return static_cast<HRESULT>(static_cast<uint32_t>(API_E_FIRST_SERVER_CODE) + static_cast<uint32_t>(i));
    }
    return API_E_BAD_RESPONSE;
}

std::wstring BuildTenantUrl(const wchar_t* base, const wchar_t* tenant) {
    constexpr size_t kCapacity = 127;  // a 128-character buffer with its terminator
    const std::wstring_view baseText(base ? base : L"");
    const bool https = baseText.size() >= 8 && _wcsnicmp(baseText.data(), L"https://", 8) == 0;
    const size_t schemeLength = https ? 8 : 7;
    std::wstring url;
    auto append = [&](std::wstring_view piece) {
        const size_t room = kCapacity - url.size();
        url.append(piece.substr(0, room));
    };
    append(baseText.substr(0, schemeLength));
    append(tenant ? tenant : L"");
    append(L".");
    if (baseText.size() > schemeLength) append(baseText.substr(schemeLength));
    return url;
}

bool IsValidTenantName(const wchar_t* tenant) {
    if (tenant == nullptr) return false;
    const size_t length = wcslen(tenant);
    if (length == 0 || length > 63) return false;
    if (tenant[0] == L'-' || tenant[length - 1] == L'-') return false;
    for (size_t i = 0; i < length; ++i) {
        const wchar_t c = tenant[i];
        const bool ok = (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') || c == L'-';
        if (!ok) return false;
    }
    return true;
}
