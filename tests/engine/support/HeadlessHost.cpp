#include "HeadlessHost.h"

#include "BrelioCore/StringTable.h"
#include "BrelioServices/LocalStorageVersion.h"
#include "BrelioServices/Log.h"
#include "BrelioServices/PathHelpers.h"
#include "BrelioServices/RequestTexts.h"
#include "BrelioServices/RestFrame.h"
#include "BrelioServices/SyncFolderCheck.h"

// urlmon.h (through the shell headers) turns this name into a macro.
#undef IsLoggingEnabled

namespace brelio::test {

int CHeadlessHost::Init() {
    // Without the mutex the database is unguarded against other processes
    // only; the engine still runs.
    (void)m_storageMutex.Create(kLocalStorageMutexName);
    const int global = m_settings.LoadGlobal();
    if (global < 0) return global;
    SetUserAgent(MakeUserAgent().c_str());
    if (m_settings.IsLoggingEnabled()) {
        SetLogPath(GetLogFilePath().c_str());
        SetLogEnabled(true);
    }
    return global;
}

HRESULT CHeadlessHost::StartEngine() {
    HRESULT hr = m_settings.LoadAccount();
    if (FAILED(hr)) return hr;
    std::wstring header;
    hr = MakeSessionHeader(m_settings.GetSessionId().c_str(), m_settings.GetTenant().c_str(), header);
    if (FAILED(hr)) return hr;
    SetAuthHeader(header.c_str());
    hr = CheckLocalStorageFile(m_storageMutex, m_settings.GetLocalStoragePath(), m_settings.IsFirstRun());
    if (FAILED(hr)) return hr;
    hr = CheckStoredSyncFolder(m_settings.GetRootDir());
    if (FAILED(hr)) return hr;
    m_stopEvent.ResetEvent();
    const HRESULT started = m_syncManager.StartAll();
    m_engineStarted = true;
    return started;
}

HRESULT CHeadlessHost::StopEngine() {
    if (!m_engineStarted) return S_OK;
    m_engineStarted = false;
    m_stopEvent.SetEvent();
    return m_syncManager.StopAll();
}

BOOL CHeadlessHost::PostToMainFrame(UINT message, WPARAM wParam, LPARAM lParam) {
    CJXView* frame = m_mainFrame.load();
    if (frame == nullptr) return FALSE;
    return frame->PostMessageW(message, wParam, lParam);
}

std::wstring CHeadlessHost::LoadText(UINT stringId) const { return LoadStringText(stringId); }

}  // namespace brelio::test
