#pragma once
#include <windows.h>

#include <string>

// Paths of the tenant's web pages that the program opens.
inline constexpr wchar_t kSignInPath[] = L"/auth/mobile/drive/signin";
inline constexpr wchar_t kSignInFinalizePath[] = L"/auth/signin/finalize";
inline constexpr wchar_t kSignOutPath[] = L"/auth/mobile/drive/signout";
inline constexpr wchar_t kSignOutFinalizePath[] = L"/auth/mobile/drive/signout/finalize";
inline constexpr wchar_t kDrivePagePath[] = L"/drive";

// The address of a web page on the tenant's host: the build's scheme and
// host for tenants (https and the service domain in production) and the
// path. The tenant becomes part of the host name, so anything but a DNS
// label is refused with E_INVALIDARG before an address is built, and
// `address` is left empty.
[[nodiscard]] HRESULT BuildTenantWebAddress(const wchar_t* tenant, const wchar_t* path, std::wstring& address);
