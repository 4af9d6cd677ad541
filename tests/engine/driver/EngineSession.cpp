#include "EngineSession.h"

#include <objbase.h>

#include "BrelioApp/DriveApp.h"
#include "BrelioApp/StringIds.h"
#include "BrelioServices/DriveApi.h"
#include "BrelioServices/LocalStorage.h"
#include "BrelioServices/Log.h"
#include "BrelioServices/RequestTexts.h"
#include "BrelioServices/RestFrame.h"
#include "BrelioServices/SQLiteConnection.h"
#include "BrelioSync/RemoteLookups.h"
#include "BrelioSync/SyncManager.h"

HRESULT CEngineSession::Start(CSyncManager* manager, DWORD notifyThreadId) {
    if (IsPassRunning()) return HRESULT_FROM_WIN32(ERROR_BUSY);
    CSettings& settings = CDriveApp::GetInstance()->GetSettings();
    HRESULT hr = settings.LoadAccount();
    if (FAILED(hr)) return hr;
    std::wstring header;
    hr = MakeSessionHeader(settings.GetSessionId().c_str(), settings.GetTenant().c_str(), header);
    if (FAILED(hr)) return hr;
    SetAuthHeader(header.c_str());
    if (CSQLiteConnection::CreateDatabase(settings.GetLocalStoragePath().c_str()) != 0) return E_FAIL;
    m_engine.Configure(CFileSyncThread::EnvironmentFromApp(manager));
    m_notifyThreadId = notifyThreadId;
    m_started = true;
    return S_OK;
}

HRESULT CEngineSession::RunFullPass() {
    if (!m_started) return E_UNEXPECTED;
    if (IsPassRunning()) return HRESULT_FROM_WIN32(ERROR_BUSY);
    m_worker.Close(INFINITE);
    CDriveApp::GetInstance()->GetStopEvent().ResetEvent();
    m_engine.Configure(m_engine.GetEnvironment());
    return m_worker.Create(FullPassProc, this, 0);
}

HRESULT CEngineSession::Stop() {
    CDriveApp::GetInstance()->GetStopEvent().SetEvent();
    return m_worker.Close(4000);
}

DWORD WINAPI CEngineSession::FullPassProc(void* param) {
    auto* self = static_cast<CEngineSession*>(param);
    const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    const HRESULT hr = self->FullPass();
    if (SUCCEEDED(com)) ::CoUninitialize();
    ::PostThreadMessageW(self->m_notifyThreadId, WM_PASS_DONE, static_cast<WPARAM>(static_cast<uint32_t>(hr)), 0);
    return 0;
}

HRESULT CEngineSession::FullPass() {
    const SyncEnvironment& environment = m_engine.GetEnvironment();
    CSyncManager* manager = environment.syncManager;
    manager->NotifyStatus(IDS_SYNC_STARTED);
    Log(L"Full Sync started.");
    const HRESULT walked = m_engine.FullSyncWalk();
    Log(L"Full Sync completed.");
    CLocalStorage storage(environment.storageMutex, environment.databasePath.c_str(), environment.syncRoot.c_str());
    storage.Cleanup();
    storage.SetLatestRevision(0);
    RequestStatus status;
    DriveInfoList drives;
    const HRESULT got = GetDrives(status, drives);
    if (FAILED(got))
        Log(L"Failed to get latest revision(0x%x).", static_cast<unsigned>(got));
    else
        storage.SetLatestRevision(GetPrivateDriveLatestRevision(drives));
    manager->NotifyStatus(IDS_SYNC_COMPLETED);
    return walked;
}
