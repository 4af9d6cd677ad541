// The monitor's loop: read the folder's changes and queue them.
#include <windows.h>
#include <shlwapi.h>

#include <cstddef>
#include <vector>

#include "BrelioCore/UniqueHandle.h"
#include "BrelioServices/FileOperations.h"
#include "BrelioServices/FileTransfer.h"
#include "BrelioServices/Log.h"
#include "BrelioServices/PathHelpers.h"
#include "BrelioSync/FileChangeQueue.h"
#include "BrelioSync/FileMonitorThread.h"
#include "BrelioSync/IgnoreList.h"
#include "BrelioSync/StopMarker.h"

namespace {

constexpr DWORD kWatchFilter =
    FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE;
// Between two reads of a watch that keeps failing.
constexpr DWORD kRetryPause = 1000;
constexpr DWORD kMarkerDeleteRetries = 4;

}  // namespace

DWORD CFileMonitorThread::Run() {
    brelio::UniqueKernelHandle folder(::CreateFileW(m_root.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!folder) {
        Log(L"FileMonitorThread failed to start(%s).", m_root.c_str());
        return 0xFFFFFFFF;
    }
    // DWORD elements keep every record DWORD-aligned, as the system writes them.
    std::vector<DWORD> buffer((m_changeBufferBytes + sizeof(DWORD) - 1) / sizeof(DWORD));
    const DWORD bufferBytes = static_cast<DWORD>(buffer.size() * sizeof(DWORD));
    Log(L"FileMonitorThread started(%s).", m_root.c_str());

    bool failing = false;
    for (;;) {
        DWORD bytes = 0;
        if (::ReadDirectoryChangesW(folder.Get(), buffer.data(), bufferBytes, TRUE, kWatchFilter, &bytes, nullptr,
                                    nullptr)) {
            failing = false;
            // No records: the system's own buffer overflowed.
            if (bytes == 0) {
                ReportLostChanges();
                continue;
            }
            if (!QueueChanges(reinterpret_cast<const BYTE*>(buffer.data()), bytes)) break;
            continue;
        }
        const DWORD error = ::GetLastError();
        if (error == ERROR_NOTIFY_ENUM_DIR) {
            ReportLostChanges();
            continue;
        }
        // A read cancelled by Stop, or a watch that keeps failing while the
        // monitor is asked to stop.
        if (m_stopRequested.Wait(0) == WAIT_OBJECT_0) break;
        if (!failing) Log(L"FileMonitorThread failed to read changes(%s): %lu.", m_root.c_str(), error);
        failing = true;
        if (m_stopRequested.Wait(kRetryPause) == WAIT_OBJECT_0) break;
    }

    DeleteFileRetry(StopMarkerPath().c_str(), kMarkerDeleteRetries);
    Log(L"FileMonitorThread stopped(%s).", m_root.c_str());
    return 0;
}

void CFileMonitorThread::ReportLostChanges() {
    // Only a walk of the whole folder finds what the lost events said.
    Log(L"FileMonitorThread lost changes(%s).", m_root.c_str());
    if (m_fullSyncEvent != nullptr) m_fullSyncEvent->SetEvent();
}

bool CFileMonitorThread::QueueChanges(const BYTE* buffer, DWORD bytes) {
    constexpr size_t kHeader = offsetof(FILE_NOTIFY_INFORMATION, FileName);
    bool stopRead = false;
    size_t offset = 0;
    while (offset + kHeader <= bytes) {
        const auto* info = reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(buffer + offset);
        if (offset + kHeader + info->FileNameLength > bytes) break;
        const std::wstring name(info->FileName, info->FileNameLength / sizeof(wchar_t));
        // Only the marker directly in the sync folder: one in a subfolder
        // is an ordinary file.
        if (name == kStopMarkerName) {
            stopRead = true;
            break;
        }
        QueueChange(name, static_cast<int>(info->Action));
        if (info->NextEntryOffset == 0) break;
        offset += info->NextEntryOffset;
    }
    m_queue->Signal();
    return !stopRead;
}

void CFileMonitorThread::QueueChange(const std::wstring& name, int action) {
    // A download's temporary file is the engine's own, wherever it lies:
    // nothing that happens to it is a change of the user's.
    if (IsEngineTemporaryName(::PathFindFileNameW(name.c_str()))) return;
    std::wstring path;
    if (!JoinPath(m_root.c_str(), name.c_str(), path)) {
        Log(L"FileMonitorThread skipped a path too long(%s).", name.c_str());
        return;
    }
    if (m_ignoreList != nullptr && m_ignoreList->IsIgnored(name.c_str())) return;
    m_queue->Enqueue(path.c_str(), action, ::PathIsDirectoryW(path.c_str()) != FALSE);
}
