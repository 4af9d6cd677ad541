// Both sides changed, and into the same content. This is what a kill leaves
// between the service carrying out a transfer and the row being written:
// no conflict, only the row to catch up.
#include "BrelioCore/ErrorFlow.h"
#include "BrelioCore/UniqueHandle.h"
#include "BrelioServices/ContentHash.h"
#include "BrelioServices/Log.h"
#include "BrelioSync/FileSyncThread.h"
#include "BrelioSync/FileTimes.h"

namespace {

bool ReadSizeAndTime(HANDLE file, uint64_t& size, FILETIME& lastWrite) {
    LARGE_INTEGER length = {};
    if (!::GetFileSizeEx(file, &length) || !::GetFileTime(file, nullptr, nullptr, &lastWrite)) return false;
    size = static_cast<uint64_t>(length.QuadPart);
    return true;
}

}  // namespace

bool HasSameContent(const FileInfo& remote, const wchar_t* path, uint64_t& size, FILETIME& lastWrite) {
    // Shared with writers, so an editor holding the file is not disturbed;
    // a write during the reading shows in the time read again afterwards.
    brelio::UniqueKernelHandle file(::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                  nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return false;
    if (!ReadSizeAndTime(file.Get(), size, lastWrite)) return false;
    if (!FileContentMatches(file.Get(), remote.hash)) return false;
    uint64_t sizeAfter = 0;
    FILETIME after = {};
    return ReadSizeAndTime(file.Get(), sizeAfter, after) && sizeAfter == size &&
           ::CompareFileTime(&lastWrite, &after) == 0;
}

HRESULT CFileSyncThread::RecordSameContent(const FileInfo& remote, const wchar_t* path, uint64_t size,
                                           const FILETIME& lastWrite) {
    // The row may be held under the entry's id or under the name: the
    // storage's insert takes either and writes it in sync.
    BRELIO_RETURN_IF_FAILED(Storage().InsertFile(remote, path, size, FileTimeToTicks(lastWrite), FILE_STATUS_SYNCED),
                            L"%s - failed to record the same content(0x%x).", path);
    Log(L"%s - same content on both sides.", path);
    return S_OK;
}

HRESULT CFileSyncThread::RecordIfSameContent(const FileInfo& remote, const wchar_t* path) {
    uint64_t size = 0;
    FILETIME lastWrite = {};
    if (!HasSameContent(remote, path, size, lastWrite)) return S_FALSE;
    return RecordSameContent(remote, path, size, lastWrite);
}
