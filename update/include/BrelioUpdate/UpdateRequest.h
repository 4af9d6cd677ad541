#pragma once
#include <windows.h>

#include <string>

#include "BrelioCore/JXMemoryStream.h"
#include "BrelioCore/JXProgressCallback.h"

// The update's requests. Each reads only from addresses that pass the
// trusted-link check (UpdateLink.h): the first, and every one a redirect
// points to, which the update follows itself. A redirect elsewhere ends the
// request with E_ACCESSDENIED before anything is asked there. Any answer
// but 200 fails with its HTTP status (HttpStatusResult).

// The check runs before the program shows any window: the whole of it
// (connections, redirects, the answer) ends within this time, and the
// manifest may be this long at most.
inline constexpr DWORD kManifestTimeLimitMs = 5000;
inline constexpr ULONGLONG kManifestSizeLimit = 256 << 10;

// Redirects followed before a request gives up.
inline constexpr int kMaxUpdateRedirects = 5;

// The manifest from `address`, within the limits above. A request that
// runs out of time fails with HRESULT_FROM_WIN32(ERROR_TIMEOUT), a manifest
// that is too long with CJXHttpRequest::E_TOO_LARGE.
[[nodiscard]] HRESULT FetchManifest(const std::wstring& address, CJXMemoryStream& body);

// The cabinet at `link` into `file`, which is emptied first (and again
// before each redirect's answer is written).
[[nodiscard]] HRESULT DownloadCabinetFile(const std::wstring& link, HANDLE file, IJXProgressCallback* progress);
