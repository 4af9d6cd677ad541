#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

#include "BrelioServices/RestFrame.h"

// Size limits of the three upload ways.
constexpr uint64_t kUploadFromMemoryLimit = 0x100000;   // below: one request from memory
constexpr uint64_t kUploadFromHandleLimit = 0x80000000;  // below: one request from the file

// Sends a local file as a new file under the target folder (latest
// revision 0) or as a new revision of the target file on top of the given
// revision. Reports the size and last-write time of what was sent.
ApiErrorCode UploadFile(uint64_t targetId, const wchar_t* localPath, uint64_t latestRevision, FileInfo& out,
                        uint64_t& size, FILETIME& lastWriteTime);

// What DownloadFile names the temporary file it writes beside the target
// ("$$$" and a number, by GetTempFileNameW): callers that must recognise it
// match names against this pattern.
inline constexpr wchar_t kDownloadTempPattern[] = L"$$$*.tmp";

// Writes a file's content into place. The local file changes only when the
// whole content arrived; on any failure it is left as it was.
ApiErrorCode DownloadFile(uint64_t fileId, const wchar_t* localPath, uint64_t& size, FILETIME& lastWriteTime);
// The same, with a last word before the local file is replaced, once the
// whole content has arrived: a failure it returns leaves the file as it is.
ApiErrorCode DownloadFile(uint64_t fileId, const wchar_t* localPath, uint64_t& size, FILETIME& lastWriteTime,
                          const std::function<HRESULT()>& beforeReplace);

// Copies the source into a new "$$$" file in the temporary folder, retrying
// 250 ms apart while it is in use. Nothing is left behind on failure.
HRESULT CopyToTempFile(const wchar_t* sourcePath, std::wstring& copyPath, int furtherAttempts);

ApiErrorCode UploadWholeFile(RequestStatus& status, uint64_t targetId, const wchar_t* name,
                             uint64_t latestRevision, const CJXMemoryStream* memory, HANDLE file, FileInfo& out);
ApiErrorCode CreateUploadSession(RequestStatus& status, uint64_t targetId, const wchar_t* name,
                                 uint64_t latestRevision, uint64_t size, UploadSessionInfo& out);
ApiErrorCode UploadPart(RequestStatus& status, const char* sessionId, HANDLE file, int partNumber,
                        uint64_t offset, uint32_t length, bool newFile);
ApiErrorCode FinishUploadSession(RequestStatus& status, const char* sessionId, bool newFile, FileInfo& out);

// True when the parts lie inside the file, each fits 32 bits, and together
// they cover it exactly once.
bool ArePartsValid(const UploadSessionInfo& session, uint64_t size);

const wchar_t* GetMimeType(const wchar_t* name);
// The name as UTF-8 with every byte outside the safe set written as %xx.
std::wstring EscapeFileName(const wchar_t* name);
