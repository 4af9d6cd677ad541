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
#include "BrelioServices/RelativePath.h"
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
// How long changes whose item is gone wait for the change that took it
// away. That change has happened already, so the system has it ready; only
// one that never comes (an item taken where nothing is watched) waits out
// the time.
constexpr ULONGLONG kFollowUpWait = 500;

bool IsOfPresentItem(int action) {
    return action == FILE_ACTION_ADDED || action == FILE_ACTION_MODIFIED || action == FILE_ACTION_RENAMED_NEW_NAME;
}

}  // namespace

DWORD CFileMonitorThread::Run() {
    brelio::UniqueKernelHandle folder(::CreateFileW(m_root.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                    nullptr, OPEN_EXISTING,
                                                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr));
    if (!folder) {
        Log(L"FileMonitorThread failed to start(%s).", m_root.c_str());
        return 0xFFFFFFFF;
    }
    // DWORD elements keep every record DWORD-aligned, as the system writes them.
    std::vector<DWORD> buffer((m_changeBufferBytes + sizeof(DWORD) - 1) / sizeof(DWORD));
    const DWORD bufferBytes = static_cast<DWORD>(buffer.size() * sizeof(DWORD));
    CJXEvent readDone(true, false, nullptr);
    Log(L"FileMonitorThread started(%s).", m_root.c_str());

    // Read but not queued yet: an item they name is gone and the change
    // that took it away is still to be read.
    std::vector<ReportedChange> changes;
    ULONGLONG heldSince = 0;
    OVERLAPPED overlapped = {};
    bool pending = false;
    bool failing = false;
    for (;;) {
        if (!pending) {
            overlapped = {};
            overlapped.hEvent = readDone;
            readDone.ResetEvent();
            if (!::ReadDirectoryChangesW(folder.Get(), buffer.data(), bufferBytes, TRUE, kWatchFilter, nullptr,
                                         &overlapped, nullptr)) {
                const DWORD error = ::GetLastError();
                QueueChanges(changes);
                if (error == ERROR_NOTIFY_ENUM_DIR) {
                    ReportLostChanges();
                    continue;
                }
                // A watch that keeps failing while the monitor is asked to stop.
                if (m_stopRequested.Wait(0) == WAIT_OBJECT_0) break;
                if (!failing) Log(L"FileMonitorThread failed to read changes(%s): %lu.", m_root.c_str(), error);
                failing = true;
                if (m_stopRequested.Wait(kRetryPause) == WAIT_OBJECT_0) break;
                continue;
            }
            // From here on the system keeps every change for the next read.
            pending = true;
            m_watching.SetEvent();
        }
        DWORD wait = INFINITE;
        if (!changes.empty()) {
            const ULONGLONG held = ::GetTickCount64() - heldSince;
            wait = held >= kFollowUpWait ? 0 : static_cast<DWORD>(kFollowUpWait - held);
        }
        const HANDLE handles[] = {readDone, m_cancelRead};
        const DWORD woke = ::WaitForMultipleObjects(2, handles, FALSE, wait);
        if (woke == WAIT_TIMEOUT) {
            QueueChanges(changes);
            continue;
        }
        if (woke != WAIT_OBJECT_0) {
            // Cancelled: what was read is still the user's.
            QueueChanges(changes);
            break;
        }
        pending = false;
        DWORD bytes = 0;
        if (!::GetOverlappedResult(folder.Get(), &overlapped, &bytes, FALSE)) {
            const DWORD error = ::GetLastError();
            QueueChanges(changes);
            if (error == ERROR_NOTIFY_ENUM_DIR) {
                ReportLostChanges();
                continue;
            }
            if (m_stopRequested.Wait(0) == WAIT_OBJECT_0) break;
            if (!failing) Log(L"FileMonitorThread failed to read changes(%s): %lu.", m_root.c_str(), error);
            failing = true;
            if (m_stopRequested.Wait(kRetryPause) == WAIT_OBJECT_0) break;
            continue;
        }
        failing = false;
        // No records: the system's own buffer overflowed.
        if (bytes == 0) {
            QueueChanges(changes);
            ReportLostChanges();
            continue;
        }
        if (changes.empty()) heldSince = ::GetTickCount64();
        if (!ReadRecords(reinterpret_cast<const BYTE*>(buffer.data()), bytes, changes)) {
            QueueChanges(changes);
            break;
        }
        if (!IsAnyItemUnaccounted(changes)) QueueChanges(changes);
    }
    // The system writes into the buffer until the read is cancelled.
    DWORD cancelledBytes = 0;
    if (pending && ::CancelIo(folder.Get())) ::GetOverlappedResult(folder.Get(), &overlapped, &cancelledBytes, TRUE);

    // A marker left behind is the engine's own file: passed over by the
    // walk and deleted by the next stop.
    (void)DeleteFileRetry(StopMarkerPath().c_str(), kMarkerDeleteRetries);
    Log(L"FileMonitorThread stopped(%s).", m_root.c_str());
    return 0;
}

void CFileMonitorThread::ReportLostChanges() {
    // Only a walk of the whole folder finds what the lost events said.
    Log(L"FileMonitorThread lost changes(%s).", m_root.c_str());
    if (m_fullSyncEvent != nullptr) m_fullSyncEvent->SetEvent();
}

bool CFileMonitorThread::ReadRecords(const BYTE* buffer, DWORD bytes, std::vector<ReportedChange>& changes) {
    constexpr size_t kHeader = offsetof(FILE_NOTIFY_INFORMATION, FileName);
    size_t offset = 0;
    while (offset + kHeader <= bytes) {
        const auto* info = reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(buffer + offset);
        if (offset + kHeader + info->FileNameLength > bytes) break;
        std::wstring name(info->FileName, info->FileNameLength / sizeof(wchar_t));
        // Only the marker directly in the sync folder: one in a subfolder
        // is an ordinary file.
        if (name == kStopMarkerName) return false;
        // Told as it is read: the sync thread's mask on a path it wrote
        // lasts only a while after the write.
        const bool dropped = IsEngineOwnChange(name);
        changes.push_back({std::move(name), static_cast<int>(info->Action), dropped});
        if (info->NextEntryOffset == 0) break;
        offset += info->NextEntryOffset;
    }
    return true;
}

bool CFileMonitorThread::IsEngineOwnChange(const std::wstring& name) {
    // A download's temporary file is the engine's own, wherever it lies:
    // nothing that happens to it is a change of the user's.
    if (IsEngineTemporaryName(::PathFindFileNameW(name.c_str()))) return true;
    return m_ignoreList != nullptr && m_ignoreList->IsIgnored(name.c_str());
}

void CFileMonitorThread::QueueChanges(std::vector<ReportedChange>& changes) {
    if (changes.empty()) return;
    for (size_t index = 0; index < changes.size(); ++index)
        if (!changes[index].dropped) QueueChange(changes, index);
    changes.clear();
    m_queue->Signal();
}

void CFileMonitorThread::QueueChange(const std::vector<ReportedChange>& changes, size_t index) {
    const std::wstring& name = changes[index].name;
    const int action = changes[index].action;
    std::wstring path;
    if (!JoinPath(m_root.c_str(), name.c_str(), path)) {
        Log(L"FileMonitorThread skipped a path too long(%s).", name.c_str());
        return;
    }
    // The name of a removed item, or the old name of a rename, stands for
    // nothing any more.
    bool isFolder = false;
    if (IsOfPresentItem(action)) {
        const ItemNow now = LookAtItem(changes, index);
        isFolder = now.exists && now.isFolder;
    }
    m_queue->Enqueue(path.c_str(), action, isFolder);
}

CFileMonitorThread::ItemNow CFileMonitorThread::LookAtItem(const std::vector<ReportedChange>& changes,
                                                           size_t index) const {
    // By the time the changes are read the item may have been renamed or
    // moved again, on its own or with a folder above it, or taken away: a
    // name that stands for nothing now is followed through the later
    // changes to the name they give the item.
    ItemNow now;
    std::wstring name = changes[index].name;
    if (LookAt(name, now)) return now;
    for (size_t next = index + 1; next < changes.size(); ++next) {
        const wchar_t* rest = GetRelativePath(name.c_str(), changes[next].name.c_str());
        if (rest == name.c_str()) continue;
        const int action = changes[next].action;
        if (action == FILE_ACTION_REMOVED) {
            now.accounted = true;
            return now;
        }
        if (action != FILE_ACTION_RENAMED_OLD_NAME) continue;
        // An old name whose new name is not read yet: where it went is
        // still to come.
        if (next + 1 == changes.size() || changes[next + 1].action != FILE_ACTION_RENAMED_NEW_NAME) return now;
        std::wstring moved = changes[next + 1].name;
        if (*rest != L'\0') moved.append(L"\\").append(rest);
        name = std::move(moved);
        ++next;
    }
    LookAt(name, now);
    return now;
}

bool CFileMonitorThread::LookAt(const std::wstring& name, ItemNow& now) const {
    std::wstring path;
    if (!JoinPath(m_root.c_str(), name.c_str(), path)) {
        now.accounted = true;
        return true;
    }
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    now.exists = attributes != INVALID_FILE_ATTRIBUTES;
    now.isFolder = now.exists && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    now.accounted = now.exists;
    return now.exists;
}

bool CFileMonitorThread::IsAnyItemUnaccounted(const std::vector<ReportedChange>& changes) const {
    for (size_t index = 0; index < changes.size(); ++index) {
        if (changes[index].action == FILE_ACTION_RENAMED_OLD_NAME && index + 1 == changes.size()) return true;
        if (IsOfPresentItem(changes[index].action) && !LookAtItem(changes, index).accounted) return true;
    }
    return false;
}
