#pragma once
#include <windows.h>

#include <string>

#include "BrelioCore/JXHttpRequest.h"
#include "BrelioCore/JXMemoryStream.h"
#include "BrelioCore/JXUri.h"
#include "BrelioServices/JsonResponse.h"
#include "BrelioServices/SessionError.h"

// Result of every REST operation: 0, a transport HRESULT passed on, or one
// of the application codes below (the session errors among them are in
// SessionError.h).
using ApiErrorCode = HRESULT;

constexpr ApiErrorCode API_E_HTTP_STATUS = static_cast<HRESULT>(0xA0000003);  // status other than 200
constexpr ApiErrorCode API_E_BAD_RESPONSE = static_cast<HRESULT>(0xA0000004);  // unreadable or unknown
constexpr ApiErrorCode API_E_FIRST_SERVER_CODE = static_cast<HRESULT>(0xA0000005);
constexpr ApiErrorCode API_E_ITEM_NOT_FOUND = static_cast<HRESULT>(0xA0000006);
constexpr ApiErrorCode API_E_NAME_EXISTS = static_cast<HRESULT>(0xA0000008);
constexpr ApiErrorCode API_E_LAST_SERVER_CODE = static_cast<HRESULT>(0xA0000014);

// Carried in and out of every REST operation.
struct RequestStatus {
    DWORD statusCode = 200;             // HTTP status of the last response
    DWORD receiveTimeout = 0xFFFFFFFF;  // ms; all ones keeps the library's own
};

// Process-wide header texts, guarded by one lock.
constexpr size_t kSessionHeaderCapacity = 4096;
constexpr size_t kUserAgentCapacity = 128;
void SetAuthHeader(const wchar_t* text);
void SetUserAgent(const wchar_t* text);
std::wstring GetAuthHeader();

// Base addresses of the service, fixed at build time.
const wchar_t* DriveApiBase();
const wchar_t* MemberApiBase();
const wchar_t* ServiceDomain();

// The senders. Each returns 0 for HTTP 200, API_E_HTTP_STATUS for another
// status (then statusCode holds it), or the transport HRESULT.
[[nodiscard]] HRESULT HttpGet(RequestStatus& status, const CJXUri& uri, CJXMemoryStream& response,
                              const wchar_t* extraHeaders = nullptr);
[[nodiscard]] HRESULT HttpPost(RequestStatus& status, const CJXUri& uri, CJXMemoryStream& response, const void* body,
                               DWORD length, const wchar_t* extraHeaders = nullptr);
// The file senders run the check, when given, before the last piece of the
// body goes out (CJXHttpRequest::SetFileBodyCheck).
[[nodiscard]] HRESULT HttpPostFile(RequestStatus& status, const CJXUri& uri, CJXMemoryStream& response, HANDLE file,
                                   const wchar_t* extraHeaders = nullptr,
                                   const CJXHttpRequest::FileBodyCheck& check = {});
[[nodiscard]] HRESULT HttpPut(RequestStatus& status, const CJXUri& uri, CJXMemoryStream& response, const void* body,
                              DWORD length, const wchar_t* extraHeaders = nullptr);
[[nodiscard]] HRESULT HttpPutFileRange(RequestStatus& status, const CJXUri& uri, CJXMemoryStream& response, HANDLE file,
                                       ULONGLONG offset, DWORD length, const wchar_t* extraHeaders = nullptr,
                                       const CJXHttpRequest::FileBodyCheck& check = {});

// Writes the raw content of a file into the open handle. Does not touch
// statusCode.
[[nodiscard]] ApiErrorCode DownloadRaw(RequestStatus& status, uint64_t fileId, HANDLE file);

[[nodiscard]] ApiErrorCode MapResultCode(int serverCode);

// "https://x/v2/mapi" and "t" give "https://t.x/v2/mapi".
std::wstring BuildTenantUrl(const wchar_t* base, const wchar_t* tenant);

// A tenant name goes into host names and paths: only a DNS label is taken.
bool IsValidTenantName(const wchar_t* tenant);

// The response step every endpoint applies to its sender's result: parse
// the body when an answer worth reading arrived, run the endpoint's parser,
// and map the envelope's result code when it fails.
template <typename Parser>
[[nodiscard]] ApiErrorCode ApplyResponse(HRESULT sent, const RequestStatus& status, const CJXMemoryStream& body,
                                         Parser&& parse) {
    const bool refused = sent == API_E_HTTP_STATUS && (status.statusCode == 401 || status.statusCode == 403);
    if (sent < 0 && !refused) return sent;
    CJsonResponse response(body);
    if (parse(response)) {
        // A refusal stays a failure whatever its envelope claims.
        return refused ? API_E_HTTP_STATUS : 0;
    }
    return MapResultCode(response.GetResultCode());
}
