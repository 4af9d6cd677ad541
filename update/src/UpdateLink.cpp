#include "BrelioUpdate/UpdateLink.h"

#include <windows.h>
#include <shlwapi.h>
#include <winhttp.h>

#include <cwctype>

#include "BuildConfig.h"

namespace {

// The longest address the shell and the HTTP stack take.
constexpr DWORD kMaxLinkLength = 2084;

struct LinkParts {
    INTERNET_SCHEME scheme = static_cast<INTERNET_SCHEME>(0);
    std::wstring host;
    bool hasUserInfo = false;
};

bool CrackLink(const std::wstring& link, LinkParts& parts) {
    // Characters that different URL readers split differently have no
    // place in a link the service hands out.
    for (wchar_t c : link) {
        if (c <= L' ' || c == L'\\' || c == 0x7F) return false;
    }
    URL_COMPONENTS components = {};
    components.dwStructSize = sizeof(components);
    components.dwSchemeLength = static_cast<DWORD>(-1);
    components.dwHostNameLength = static_cast<DWORD>(-1);
    components.dwUserNameLength = static_cast<DWORD>(-1);
    components.dwPasswordLength = static_cast<DWORD>(-1);
    components.dwUrlPathLength = static_cast<DWORD>(-1);
    if (!::WinHttpCrackUrl(link.c_str(), static_cast<DWORD>(link.size()), 0, &components)) return false;
    parts.scheme = components.nScheme;
    parts.host.assign(components.lpszHostName ? components.lpszHostName : L"", components.dwHostNameLength);
    parts.hasUserInfo = components.dwUserNameLength > 0 || components.dwPasswordLength > 0;
    return true;
}

bool EqualNoCase(const std::wstring& a, const std::wstring& b) {
    return a.size() == b.size() && ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                                          static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// The domain itself or a host below it, label by label: "x.brelio.com"
// lies in "brelio.com", "evilbrelio.com" does not.
bool IsInDomain(const std::wstring& host, const std::wstring& domain) {
    if (domain.empty()) return false;
    if (EqualNoCase(host, domain)) return true;
    if (host.size() <= domain.size() + 1) return false;
    const size_t dot = host.size() - domain.size() - 1;
    return host[dot] == L'.' && EqualNoCase(host.substr(dot + 1), domain);
}

}  // namespace

bool IsTrustedUpdateLink(const std::wstring& link, const std::wstring& updateBase,
                         const std::wstring& serviceDomain) {
    LinkParts base;
    LinkParts parts;
    if (!CrackLink(updateBase, base) || base.host.empty()) return false;
    if (!CrackLink(link, parts)) return false;
    if (parts.scheme != base.scheme) return false;
    if (parts.hasUserInfo || parts.host.empty()) return false;
    return EqualNoCase(parts.host, base.host) || IsInDomain(parts.host, serviceDomain);
}

bool IsTrustedUpdateLink(const std::wstring& link) {
    return IsTrustedUpdateLink(link, BRELIO_UPDATE_BASE, BRELIO_SERVICE_DOMAIN);
}

bool FollowUpdateRedirect(const std::wstring& current, const std::wstring& location,
                          const std::wstring& updateBase, const std::wstring& serviceDomain, std::wstring& next) {
    if (location.empty()) return false;
    wchar_t combined[kMaxLinkLength] = L"";
    DWORD length = kMaxLinkLength;
    // Taken as it stands: nothing escaped or unescaped on the way, so that
    // the check sees what will be asked for.
    if (FAILED(::UrlCombineW(current.c_str(), location.c_str(), combined, &length,
                             URL_DONT_SIMPLIFY | URL_DONT_ESCAPE_EXTRA_INFO)))
        return false;
    const std::wstring target(combined);
    if (!IsTrustedUpdateLink(target, updateBase, serviceDomain)) return false;
    next = target;
    return true;
}

bool FollowUpdateRedirect(const std::wstring& current, const std::wstring& location, std::wstring& next) {
    return FollowUpdateRedirect(current, location, BRELIO_UPDATE_BASE, BRELIO_SERVICE_DOMAIN, next);
}

std::wstring UpdateManifestUri() { return std::wstring(BRELIO_UPDATE_BASE) + L"/release/drive/win"; }
