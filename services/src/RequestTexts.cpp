#include "BrelioServices/RequestTexts.h"

#include "BrelioCore/JXVersion.h"
#include "BrelioCore/WideFormat.h"
#include "BrelioServices/RestFrame.h"
#include "BrelioServices/WindowsVersion.h"

namespace {

// CR or LF would start a header of the caller's choosing, and the HTTP
// layer narrows wide headers, so nothing outside printable ASCII passes.
bool IsHeaderSafe(const wchar_t* text) {
    if (text == nullptr || *text == L'\0') return false;
    for (const wchar_t* p = text; *p; ++p) {
        if (*p < 0x20 || *p > 0x7E) return false;
    }
    return true;
}

}  // namespace

HRESULT MakeSessionHeader(const wchar_t* sessionId, const wchar_t* tenant, std::wstring& header) {
    header.clear();
    if (!IsHeaderSafe(sessionId) || !IsValidTenantName(tenant)) return E_INVALIDARG;
    std::wstring text;
    if (!brelio::FormatWide(text, L"SESSION: %s\r\nBrelio-Tenant-Domain: %s.%s", sessionId, tenant,
                            ServiceDomain()))
        return E_FAIL;
    // The session header holds this many characters; a cut text would
    // lose the tenant line.
    if (text.size() >= kSessionHeaderCapacity) return HRESULT_FROM_WIN32(ERROR_BUFFER_OVERFLOW);
    header = std::move(text);
    return S_OK;
}

std::wstring MakeUserAgent() {
    WORD own[4] = {0, 0, 0, 0};
    CJXVersion version;
    if (SUCCEEDED(version.Load(nullptr, false))) version.GetVersion(own);
    // A system whose Kernel32.dll shows no version counts as Windows 7.
    WORD major = 6;
    WORD minor = 1;
    GetWindowsVersion(major, minor);
    std::wstring text;
    brelio::FormatWide(text, L"BrelioDrive/%d.%d.%d.%d (Windows NT %d.%d)", own[0], own[1], own[2], own[3],
                       major, minor);
    return text;
}
