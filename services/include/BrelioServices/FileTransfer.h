#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <iterator>
#include <string>

#include "BrelioCore/UniqueHandle.h"
#include "BrelioServices/RestFrame.h"

// Size limits of the three upload ways.
constexpr uint64_t kUploadFromMemoryLimit = 0x100000;   // below: one request from memory
constexpr uint64_t kUploadFromHandleLimit = 0x80000000;  // below: one request from the file

// Sends a local file as a new file under the target folder (latest
// revision 0) or as a new revision of the target file on top of the given
// revision. Reports the size and last-write time of what was sent. The
// file is read in place, without a copy; one written to while it is read
// fails with E_SOURCE_CHANGED and nothing of it is stored.
[[nodiscard]] ApiErrorCode UploadFile(uint64_t targetId, const wchar_t* localPath, uint64_t latestRevision,
                                      FileInfo& out, uint64_t& size, FILETIME& lastWriteTime);

// The temporary file a download writes before it takes the target's place:
// the prefix, kDownloadTempDigits random hexadecimal digits and the suffix,
// as in "$$$brelio-0f3a5c7e9b1d2468.tmp". A crash can leave one behind in
// the sync folder; IsEngineTemporaryName tells it from a user's file.
inline constexpr wchar_t kDownloadTempPrefix[] = L"$$$brelio-";
inline constexpr wchar_t kDownloadTempSuffix[] = L".tmp";
inline constexpr size_t kDownloadTempDigits = 16;
inline constexpr size_t kDownloadTempNameLength =
    (std::size(kDownloadTempPrefix) - 1) + kDownloadTempDigits + (std::size(kDownloadTempSuffix) - 1);
// Every such name in one folder, for the ignore list.
inline constexpr wchar_t kDownloadTempPattern[] = L"$$$brelio-*.tmp";

// True only for a name made exactly as above (letter case aside): a user's
// "$$$1234.tmp" or "$$$brelio-notes.tmp" is not one.
[[nodiscard]] bool IsEngineTemporaryName(const wchar_t* name);

// The folder that takes the temporary file of a download to localPath,
// ending in a backslash (empty: the current folder): the target's own
// folder when a temporary name fits there within MAX_PATH, else the spare
// folder (on the same volume) when it fits there. Never a cut name:
// HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE) when neither fits.
[[nodiscard]] HRESULT ChooseDownloadTempFolder(const wchar_t* localPath, const wchar_t* spareFolder,
                                               std::wstring& folder);
// Creates a new temporary file of that name in the folder (as chosen
// above), open for reading and writing and shared with no one.
[[nodiscard]] HRESULT CreateDownloadTempFile(const std::wstring& folder, std::wstring& path,
                                             brelio::UniqueKernelHandle& file);

// Writes a file's content into place. The local file changes only when the
// whole content arrived; on any failure it is left as it was and no
// temporary file stays. The content first lands in a temporary file placed
// by ChooseDownloadTempFolder, so a target in a folder too deep for a
// temporary name beside it can still be written through the spare folder.
// beforeReplace, when given, has a last word once the whole content has
// arrived and before the local file is replaced: a failure it returns
// leaves the file as it is.
[[nodiscard]] ApiErrorCode DownloadFile(uint64_t fileId, const wchar_t* localPath, uint64_t& size,
                                        FILETIME& lastWriteTime, const wchar_t* spareFolder = nullptr,
                                        const std::function<HRESULT()>& beforeReplace = {});

// A file body that the check finds written to since its read began: the
// request ends before its last byte, and the file is sent again once it
// has settled.
constexpr HRESULT E_SOURCE_CHANGED = HRESULT_FROM_WIN32(ERROR_FILE_INVALID);

// The file senders take a check that runs before the last piece of the body
// goes out (CJXHttpRequest::SetFileBodyCheck).
[[nodiscard]] ApiErrorCode UploadWholeFile(RequestStatus& status, uint64_t targetId, const wchar_t* name,
                                           uint64_t latestRevision, const CJXMemoryStream* memory, HANDLE file,
                                           FileInfo& out, const CJXHttpRequest::FileBodyCheck& check = {});
[[nodiscard]] ApiErrorCode CreateUploadSession(RequestStatus& status, uint64_t targetId, const wchar_t* name,
                                               uint64_t latestRevision, uint64_t size, UploadSessionInfo& out);
[[nodiscard]] ApiErrorCode UploadPart(RequestStatus& status, const char* sessionId, HANDLE file, int partNumber,
                                      uint64_t offset, uint32_t length, bool newFile,
                                      const CJXHttpRequest::FileBodyCheck& check = {});
[[nodiscard]] ApiErrorCode FinishUploadSession(RequestStatus& status, const char* sessionId, bool newFile,
                                               FileInfo& out);

// True when the parts lie inside the file, each fits 32 bits, and together
// they cover it exactly once.
bool ArePartsValid(const UploadSessionInfo& session, uint64_t size);

const wchar_t* GetMimeType(const wchar_t* name);
// The name as UTF-8 with every byte outside the safe set written as %xx.
std::wstring EscapeFileName(const wchar_t* name);
