#pragma once
#include <cstdint>
#include <string>

#include "BrelioServices/RestFrame.h"

// The drive and member API operations. Each takes its caller's
// RequestStatus first and returns an ApiErrorCode; none throws.

// 0 is the drive's top folder, "root" on the wire.
std::wstring IdToString(uint64_t id);

[[nodiscard]] ApiErrorCode GetTenant(RequestStatus& status, const wchar_t* tenant, TenantInfo& out);
[[nodiscard]] ApiErrorCode GetMember(RequestStatus& status, const wchar_t* tenant, MemberInfo& out);
[[nodiscard]] ApiErrorCode GetDrives(RequestStatus& status, DriveInfoList& out, const wchar_t* extraHeaders = nullptr);
[[nodiscard]] ApiErrorCode GetFiles(RequestStatus& status, uint64_t parentId, FileInfoList& out, bool foldersOnly);
[[nodiscard]] ApiErrorCode GetFileMeta(RequestStatus& status, uint64_t fileId, ChangeInfo& out);
[[nodiscard]] ApiErrorCode GetChangesPage(RequestStatus& status, uint64_t latestRevision, uint64_t fileId, int pageSize,
                                          ChangeInfoList& inOut);
[[nodiscard]] ApiErrorCode CreateFolder(RequestStatus& status, uint64_t parentId, const wchar_t* name, FileInfo& out);
[[nodiscard]] ApiErrorCode RenameFile(RequestStatus& status, uint64_t fileId, const wchar_t* newName, FileInfo& out);
[[nodiscard]] ApiErrorCode TrashFile(RequestStatus& status, uint64_t fileId);

// Tests a candidate session header before it replaces the process-wide one.
[[nodiscard]] ApiErrorCode CheckDrives(const wchar_t* sessionHeader);
// Every change after the revision, appended to the list in pages of 1024.
[[nodiscard]] ApiErrorCode GetAllChanges(uint64_t latestRevision, ChangeInfoList& inOut);

// Fills a wide format into a UTF-8 JSON request body. Texts go in through
// JsonEscape. A body over 4095 bytes is refused rather than sent cut.
[[nodiscard]] HRESULT FormatJsonBody(std::string& body, const wchar_t* format, ...);
// A text as it stands inside a JSON string (quotes not included).
std::wstring JsonEscape(const wchar_t* text);
