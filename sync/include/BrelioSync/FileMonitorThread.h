#pragma once
#include <windows.h>

#include <string>

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
    HRESULT Start(CFileChangeQueue* queue, CIgnoreList* ignoreList, CJXEvent* fullSyncEvent,
                  const std::wstring& root);
    // Wakes the blocked read (stop marker, and cancelling the read for a
    // folder where no marker can be written) and waits up to the time for
    // the thread to end. S_OK when no thread runs any more.
    HRESULT Stop(DWORD milliseconds);
    // Creates (and closes) an empty file of that name in the root folder.
    bool WriteStopMarker(const wchar_t* name);

private:
    // The system dropped events it could not fit into the change buffer.
    void ReportLostChanges();
    static DWORD WINAPI FileMonitorThreadProc(void* param);
    // Cancels the blocked read until the thread ends or the time is up.
    HRESULT CancelRead(DWORD milliseconds);
    std::wstring StopMarkerPath() const;
    DWORD Run();
    // Queues the changes of one result. False once the stop marker is read.
    bool QueueChanges(const BYTE* buffer, DWORD bytes);
    void QueueChange(const std::wstring& name, int action);

    const DWORD m_changeBufferBytes;
    std::wstring m_root;
    CFileChangeQueue* m_queue = nullptr;
    CIgnoreList* m_ignoreList = nullptr;
    CJXEvent* m_fullSyncEvent = nullptr;
    CJXEvent m_stopRequested{true, false, nullptr};
};
