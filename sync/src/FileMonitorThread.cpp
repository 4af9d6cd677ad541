// Starting and stopping the change monitor.
#include "BrelioSync/FileMonitorThread.h"

#include "BrelioCore/UniqueHandle.h"
#include "BrelioServices/FileOperations.h"
#include "BrelioServices/PathHelpers.h"
#include "BrelioSync/StopMarker.h"

namespace {

// How long an endless stop waits for the marker before it cancels.
constexpr DWORD kMarkerGrace = 2000;

DWORD Remaining(DWORD milliseconds, ULONGLONG start) {
    if (milliseconds == INFINITE) return INFINITE;
    const ULONGLONG elapsed = ::GetTickCount64() - start;
    return elapsed >= milliseconds ? 0 : static_cast<DWORD>(milliseconds - elapsed);
}

}  // namespace

CFileMonitorThread::CFileMonitorThread(DWORD changeBufferBytes) : m_changeBufferBytes(changeBufferBytes) {}

// Nothing is left to tell of a stop on the way out: it waits until the end.
CFileMonitorThread::~CFileMonitorThread() { (void)Stop(INFINITE); }

HRESULT CFileMonitorThread::Start(CFileChangeQueue* queue, CIgnoreList* ignoreList, CJXEvent* fullSyncEvent,
                                  const std::wstring& root) {
    if (queue == nullptr || root.empty()) return E_INVALIDARG;
    // The running thread reads these members: a late thread of the last run
    // keeps them as they were until it has ended.
    if (IsRunning()) return HRESULT_FROM_WIN32(ERROR_BUSY);
    m_queue = queue;
    m_ignoreList = ignoreList;
    m_fullSyncEvent = fullSyncEvent;
    m_root = root;
    m_stopRequested.ResetEvent();
    m_cancelRead.ResetEvent();
    m_watching.ResetEvent();
    return Create(FileMonitorThreadProc, this, 0);
}

HRESULT CFileMonitorThread::Stop(DWORD milliseconds) {
    if (GetThreadHandle() == nullptr) return S_OK;
    if (!IsRunning()) return Close(0);
    const ULONGLONG start = ::GetTickCount64();
    m_stopRequested.SetEvent();
    // The marker's event comes after every change made before the stop, so
    // the monitor queues them all before it ends. Cancelling the read is
    // the way out when the marker cannot be written or is not seen in time.
    const bool marked = WriteStopMarker(kStopMarkerName);
    HRESULT closed = HRESULT_FROM_WIN32(WAIT_TIMEOUT);
    if (marked) closed = Close(milliseconds == INFINITE ? kMarkerGrace : milliseconds / 2);
    if (closed == HRESULT_FROM_WIN32(WAIT_TIMEOUT)) closed = CancelRead(Remaining(milliseconds, start));
    // A thread that ended before it read its marker leaves the file behind.
    // One left behind is only the engine's own file, passed over by the
    // walk and deleted by the next stop.
    if (marked && SUCCEEDED(closed)) (void)DeleteFileRetry(StopMarkerPath().c_str(), 0);
    return closed;
}

HRESULT CFileMonitorThread::CancelRead(DWORD milliseconds) {
    m_cancelRead.SetEvent();
    return Close(milliseconds);
}

bool CFileMonitorThread::WaitUntilWatching(DWORD milliseconds) {
    if (GetThreadHandle() == nullptr) return false;
    const HANDLE handles[] = {m_watching, GetThreadHandle()};
    return ::WaitForMultipleObjects(2, handles, FALSE, milliseconds) == WAIT_OBJECT_0;
}

std::wstring CFileMonitorThread::StopMarkerPath() const {
    std::wstring path;
    JoinPath(m_root.c_str(), kStopMarkerName, path);
    return path;
}

bool CFileMonitorThread::WriteStopMarker(const wchar_t* name) {
    std::wstring path;
    if (!JoinPath(m_root.c_str(), name, path)) return false;
    brelio::UniqueKernelHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                  nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file.IsValid();
}

DWORD WINAPI CFileMonitorThread::FileMonitorThreadProc(void* param) {
    const brelio::ComInitScope com;
    return static_cast<CFileMonitorThread*>(param)->Run();
}
