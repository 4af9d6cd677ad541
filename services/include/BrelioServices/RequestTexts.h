#pragma once
#include <windows.h>

#include <string>

// The two header lines that name the session and the tenant's host:
// "SESSION: <id>\r\nBrelio-Tenant-Domain: <tenant>.<service domain>".
// Both inputs end up inside header lines, so a session id with anything
// but printable ASCII, or a tenant that is no DNS label, is refused with
// E_INVALIDARG; a text that would not fit the session header is refused
// with HRESULT_FROM_WIN32(ERROR_BUFFER_OVERFLOW). `header` is empty then.
[[nodiscard]] HRESULT MakeSessionHeader(const wchar_t* sessionId, const wchar_t* tenant, std::wstring& header);

// "BrelioDrive/<own file version> (Windows NT <major>.<minor>)", with
// 6.1 when the Windows version cannot be read.
std::wstring MakeUserAgent();
