#include "BrelioApp/WebAddress.h"

#include "BrelioCore/WideFormat.h"
#include "BrelioServices/RestFrame.h"
#include "BuildConfig.h"

HRESULT BuildTenantWebAddress(const wchar_t* tenant, const wchar_t* path, std::wstring& address) {
    address.clear();
    // A dot, slash, "@" or colon in the tenant would move the page to
    // another host.
    if (!IsValidTenantName(tenant) || path == nullptr) return E_INVALIDARG;
    std::wstring text;
    if (!brelio::FormatWide(text, BRELIO_TENANT_WEB_BASE, tenant)) return E_FAIL;
    text += path;
    address = std::move(text);
    return S_OK;
}
