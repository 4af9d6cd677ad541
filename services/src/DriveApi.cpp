#include "BrelioServices/DriveApi.h"

#include <cstdarg>

#include "BrelioCore/TextConvert.h"
#include "BrelioCore/WideFormat.h"

namespace {

constexpr size_t kMaxJsonBody = 4095;
constexpr int kChangesPageSize = 1024;
const wchar_t kJsonContentType[] = L"Content-Type: application/json";

template <typename Parser>
ApiErrorCode GetAndParse(RequestStatus& status, const CJXUri& uri, const wchar_t* extraHeaders, Parser&& parse) {
    CJXMemoryStream body(4096);
    const HRESULT sent = HttpGet(status, uri, body, extraHeaders);
    return ApplyResponse(sent, status, body, parse);
}

template <typename Parser>
ApiErrorCode SendJsonAndParse(RequestStatus& status, const CJXUri& uri, bool replace, const std::string& json,
                              Parser&& parse) {
    CJXMemoryStream body(4096);
    const DWORD length = static_cast<DWORD>(json.size());
    const HRESULT sent = replace ? HttpPut(status, uri, body, json.data(), length, kJsonContentType)
                                 : HttpPost(status, uri, body, json.data(), length, kJsonContentType);
    return ApplyResponse(sent, status, body, parse);
}

CJXUri DriveUri() { return CJXUri(DriveApiBase()); }

bool After(const FileInfo& file, uint64_t revision, uint64_t id) {
    return file.revision > revision || (file.revision == revision && file.id > id);
}

}  // namespace

std::wstring IdToString(uint64_t id) {
    if (id == 0) return L"root";
    std::wstring text;
    brelio::FormatWide(text, L"%llu", static_cast<unsigned long long>(id));
    return text;
}

std::wstring JsonEscape(const wchar_t* text) {
    std::wstring out;
    if (text == nullptr) return out;
    for (const wchar_t* p = text; *p; ++p) {
        const wchar_t c = *p;
        switch (c) {
            case L'"': out += L"\\\""; break;
            case L'\\': out += L"\\\\"; break;
            case L'\b': out += L"\\b"; break;
            case L'\f': out += L"\\f"; break;
            case L'\n': out += L"\\n"; break;
            case L'\r': out += L"\\r"; break;
            case L'\t': out += L"\\t"; break;
            default:
                if (c < 0x20) {
                    wchar_t escaped[8];
                    _snwprintf(escaped, 8, L"\\u%04x", static_cast<unsigned>(c));
                    escaped[7] = L'\0';
                    out += escaped;
                } else {
                    out += c;
                }
        }
    }
    return out;
}

HRESULT FormatJsonBody(std::string& body, const wchar_t* format, ...) {
    std::wstring text;
    va_list args;
    va_start(args, format);
    const bool formatted = brelio::FormatWideV(text, format, args);
    va_end(args);
    if (!formatted) return E_INVALIDARG;
    body = brelio::WideToUtf8(text);
    if (body.empty() && !text.empty()) return HRESULT_FROM_WIN32(ERROR_NO_UNICODE_TRANSLATION);
    if (body.size() > kMaxJsonBody) return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
    return S_OK;
}

ApiErrorCode GetTenant(RequestStatus& status, const wchar_t* tenant, TenantInfo& out) {
    if (!IsValidTenantName(tenant)) return E_INVALIDARG;
    CJXUri uri(MemberApiBase());
    uri.AppendFormat(L"/tenants/%s.", tenant);
    uri.Append(ServiceDomain());
    return GetAndParse(status, uri, nullptr, [&](CJsonResponse& r) { return r.ParseTenant(out); });
}

ApiErrorCode GetMember(RequestStatus& status, const wchar_t* tenant, MemberInfo& out) {
    if (!IsValidTenantName(tenant)) return E_INVALIDARG;
    CJXUri uri(BuildTenantUrl(MemberApiBase(), tenant));
    uri.Append(L"/members/me");
    return GetAndParse(status, uri, nullptr, [&](CJsonResponse& r) { return r.ParseMember(out); });
}

ApiErrorCode GetDrives(RequestStatus& status, DriveInfoList& out, const wchar_t* extraHeaders) {
    CJXUri uri = DriveUri();
    uri.Append(L"/drives");
    return GetAndParse(status, uri, extraHeaders, [&](CJsonResponse& r) { return r.ParseDrives(out); });
}

ApiErrorCode GetFiles(RequestStatus& status, uint64_t parentId, FileInfoList& out, bool foldersOnly) {
    CJXUri uri = DriveUri();
    uri.AppendFormat(L"/files?parentId=%s", IdToString(parentId).c_str());
    if (foldersOnly) uri.Append(L"&type=folder");
    return GetAndParse(status, uri, nullptr, [&](CJsonResponse& r) { return r.ParseFiles(out); });
}

ApiErrorCode GetFileMeta(RequestStatus& status, uint64_t fileId, ChangeInfo& out) {
    CJXUri uri = DriveUri();
    uri.AppendFormat(L"/files/%llu?media=meta", static_cast<unsigned long long>(fileId));
    return GetAndParse(status, uri, nullptr, [&](CJsonResponse& r) { return r.ParseChange(out); });
}

ApiErrorCode GetChangesPage(RequestStatus& status, uint64_t latestRevision, uint64_t fileId, int pageSize,
                            ChangeInfoList& inOut) {
    CJXUri uri = DriveUri();
    uri.AppendFormat(L"/changes?latestRevision=%llu&fileId=%llu&size=%d",
                     static_cast<unsigned long long>(latestRevision), static_cast<unsigned long long>(fileId),
                     pageSize);
    return GetAndParse(status, uri, nullptr, [&](CJsonResponse& r) { return r.ParseChanges(inOut); });
}

ApiErrorCode CreateFolder(RequestStatus& status, uint64_t parentId, const wchar_t* name, FileInfo& out) {
    std::string json;
    const HRESULT built = FormatJsonBody(json, L"{ \"name\": \"%s\" }", JsonEscape(name).c_str());
    if (FAILED(built)) return built;
    CJXUri uri = DriveUri();
    uri.AppendFormat(L"/files/%s/create-folder", IdToString(parentId).c_str());
    return SendJsonAndParse(status, uri, false, json, [&](CJsonResponse& r) { return r.ParseFile(out); });
}

ApiErrorCode RenameFile(RequestStatus& status, uint64_t fileId, const wchar_t* newName, FileInfo& out) {
    std::string json;
    const HRESULT built = FormatJsonBody(json, L"{ \"name\": \"%s\" }", JsonEscape(newName).c_str());
    if (FAILED(built)) return built;
    CJXUri uri = DriveUri();
    uri.AppendFormat(L"/files/%llu", static_cast<unsigned long long>(fileId));
    return SendJsonAndParse(status, uri, true, json, [&](CJsonResponse& r) { return r.ParseFile(out); });
}

ApiErrorCode TrashFile(RequestStatus& status, uint64_t fileId) {
    CJXUri uri = DriveUri();
    uri.AppendFormat(L"/files/%llu/trash", static_cast<unsigned long long>(fileId));
    CJXMemoryStream body(4096);
    const HRESULT sent = HttpPost(status, uri, body, nullptr, 0, nullptr);
    return ApplyResponse(sent, status, body, [](CJsonResponse& r) { return r.CheckHeader(); });
}

ApiErrorCode CheckDrives(const wchar_t* sessionHeader) {
    RequestStatus status;
    DriveInfoList drives;
    return GetDrives(status, drives, sessionHeader);
}

ApiErrorCode GetAllChanges(uint64_t latestRevision, ChangeInfoList& inOut) {
    RequestStatus status;
    const size_t existing = inOut.size();
    uint64_t cursorRevision = latestRevision;
    uint64_t cursorId = 0;
    size_t before = inOut.size();
    ApiErrorCode result = GetChangesPage(status, cursorRevision, cursorId, kChangesPageSize, inOut);
    for (;;) {
        if (result < 0) return result;
        // A server that answers a page with entries it already sent must
        // not keep the paging going: keep only what lies after the cursor.
        if (cursorId != 0) {
            size_t kept = before;
            for (size_t i = before; i < inOut.size(); ++i) {
                if (After(inOut[i].file, cursorRevision, cursorId)) {
                    if (kept != i) inOut[kept] = std::move(inOut[i]);
                    ++kept;
                }
            }
            inOut.resize(kept);
        }
        const size_t count = inOut.size();
        if (count - existing < static_cast<size_t>(kChangesPageSize) || count == before) return result;
        const FileInfo& tail = inOut.back().file;
        cursorRevision = tail.revision;
        cursorId = tail.id;
        before = count;
        result = GetChangesPage(status, cursorRevision, cursorId, kChangesPageSize, inOut);
    }
}
