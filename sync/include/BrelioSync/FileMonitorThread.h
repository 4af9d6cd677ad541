#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "BrelioCore/JXEvent.h"
#include "BrelioCore/JXThread.h"

class CFileChangeQueue;
class CIgnoreList;

// The worker that watches the whole sync folder tree and queues every
// local change the sync engine did not cause itself.
class CFileMonitorThread : public CJXThread {
public:
    // The size of one ReadDirectoryChangesW result.
    static constexpr DWORD kChangeBufferBytes = 65536;

    explicit CFileMonitorThread(DWORD changeBufferBytes = kChangeBufferBytes);
    // Stops a thread still running first: it reads this object's members.
    ~CFileMonitorThread() override;

    // Watches the root folder (a copy of the text is kept for this run).
    // Lost events request a full sync through the event, when one is given.
    // HRESULT_FROM_WIN32(ERROR_BUSY), with nothing changed, while an earlier
    // run of this object is still going.
    [[nodiscard]] HRESULT Start(CFileChangeQueue* queue, CIgnoreList* ignoreList, CJXEvent* fullSyncEvent,
                                const std::wstring& root);
    // Wakes the blocked read (stop marker, and cancelling the read for a
    // folder where no marker can be written) and waits up to the time for
    // the thread to end. S_OK when no thread runs any more.
    [[nodiscard]] HRESULT Stop(DWORD milliseconds);
    // Creates (and closes) an empty file of that name in the root folder.
    bool WriteStopMarker(const wchar_t* name);
    // Waits up to the time until the monitor watches the folder, from which
    // moment on no change in it goes unseen. True once it watches; false
    // when it ended without watching (the folder cannot be opened) or the
    // time is up.
    bool WaitUntilWatching(DWORD milliseconds);

private:
    // One record of a result: the name relative to the root and the action.
    struct ReportedChange {
        std::wstring name;
        int action = 0;
        bool dropped = false;  // the engine's own: never queued
    };
    // What stands now where the later changes say a change's item went.
    struct ItemNow {
        bool exists = false;
        bool isFolder = false;
        // Known: it stands there, or a later change took it away.
        bool accounted = false;
    };

    // The system dropped events it could not fit into the change buffer.
    void ReportLostChanges();
    static DWORD WINAPI FileMonitorThreadProc(void* param);
    // Cancels the read until the thread ends or the time is up.
    [[nodiscard]] HRESULT CancelRead(DWORD milliseconds);
    std::wstring StopMarkerPath() const;
    DWORD Run();
    // Appends the records of one result. False once the stop marker is read.
    bool ReadRecords(const BYTE* buffer, DWORD bytes, std::vector<ReportedChange>& changes);
    // A change of the engine's temporary files or of a path it is writing.
    bool IsEngineOwnChange(const std::wstring& name);
    // Queues the changes read (and forgets them) and signals the queue.
    void QueueChanges(std::vector<ReportedChange>& changes);
    void QueueChange(const std::vector<ReportedChange>& changes, size_t index);
    ItemNow LookAtItem(const std::vector<ReportedChange>& changes, size_t index) const;
    // What stands at the name now; true when something does (or the name
    // cannot stand for anything), so that no later change needs a look.
    bool LookAt(const std::wstring& name, ItemNow& now) const;
    // A change names an item that is gone, and the change that took it
    // away is not among them yet (or an old name waits for its new name).
    bool IsAnyItemUnaccounted(const std::vector<ReportedChange>& changes) const;

    const DWORD m_changeBufferBytes;
    std::wstring m_root;
    CFileChangeQueue* m_queue = nullptr;
    CIgnoreList* m_ignoreList = nullptr;
    CJXEvent* m_fullSyncEvent = nullptr;
    CJXEvent m_stopRequested{true, false, nullptr};
    CJXEvent m_cancelRead{true, false, nullptr};
    CJXEvent m_watching{true, false, nullptr};
};
