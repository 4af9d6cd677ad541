#include "EngineSession.h"

#include "BrelioApp/DriveApp.h"

HRESULT CEngineSession::Start(CSyncManager* manager) {
    CDriveApp* app = CDriveApp::GetInstance();
    const HRESULT started = app->StartEngineWithStoredSession();
    m_databasePath = app->GetSettings().GetLocalStoragePath();
    if (SUCCEEDED(started) || started == HRESULT_FROM_WIN32(ERROR_BUSY)) m_manager = manager;
    return started;
}

HRESULT CEngineSession::Stop() {
    if (m_manager == nullptr) return S_OK;
    return CDriveApp::GetInstance()->StopSyncThreads();
}
