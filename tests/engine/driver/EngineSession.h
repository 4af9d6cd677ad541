#pragma once
#include <windows.h>

#include <string>

#include "BrelioCore/JXThread.h"
#include "BrelioSync/FileSyncThread.h"

// The engine for the stored settings, run pass by pass on a worker thread.
// Results and items reach the main thread as posted messages.
class CEngineSession {
public:
    static constexpr UINT WM_PASS_DONE = WM_APP + 201;  // wParam: the pass's result

    // Loads the account's settings, signs the REST client in with the stored
    // session and makes the database when there is none.
    HRESULT Start(CSyncManager* manager, DWORD notifyThreadId);
    // A full pass: the walk, the clean-up and the latest revision.
    HRESULT RunFullPass();
    HRESULT Stop();
    bool IsStarted() const { return m_started; }
    bool IsPassRunning() const { return m_worker.IsRunning(); }
    void PassEnded() { m_worker.Close(INFINITE); }
    const SyncEnvironment& Environment() const { return m_engine.GetEnvironment(); }

private:
    static DWORD WINAPI FullPassProc(void* param);
    HRESULT FullPass();

    CFileSyncThread m_engine;
    CJXThread m_worker;
    DWORD m_notifyThreadId = 0;
    bool m_started = false;
};
