#include "SettingsSupport.h"

#include <shlwapi.h>

#include "BrelioServices/Log.h"
#include "BrelioServices/PathHelpers.h"
#include "BrelioServices/RegistryKey.h"
#include "BrelioServices/RegistryLayout.h"
#include "BrelioServices/RestFrame.h"

LSTATUS ReadStoredPath(HKEY key, const wchar_t* name, std::wstring& path) {
    std::wstring text;
    const LSTATUS status = brelio::ReadRegistryString(key, name, text, kStoredPathMaxLength);
    if (status != ERROR_SUCCESS) return status;
    if (::PathIsRelativeW(text.c_str())) return ERROR_BAD_PATHNAME;
    path = std::move(text);
    return ERROR_SUCCESS;
}

void LogIgnoredValue(const wchar_t* name, LSTATUS status) {
    Log(L"Settings: the stored value %s cannot be used and is ignored (error %ld).", name, status);
}

bool IsValidAccount(std::wstring_view account) {
    if (account.size() > kAccountMaxLength) return false;
    const size_t at = account.rfind(L'@');
    if (at == std::wstring_view::npos || at == 0) return false;
    const std::wstring tenant(account.substr(at + 1));
    if (!IsValidTenantName(tenant.c_str())) return false;
    for (const wchar_t c : account.substr(0, at)) {
        if (c < 0x20 || c == 0x7F || std::wstring_view(L"\\/:*?\"<>|").find(c) != std::wstring_view::npos)
            return false;
    }
    return true;
}

std::wstring DefaultRootFolderFor(const std::wstring& account) {
    const std::wstring base = GetDefaultRootFolder();
    std::wstring root;
    if (base.empty() || !JoinPath(base.c_str(), account.c_str(), root)) return {};
    return root;
}
