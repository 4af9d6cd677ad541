#include "EngineSession.h"

#include "BrelioApp/DriveApp.h"
#include "BrelioServices/RequestTexts.h"
#include "BrelioServices/RestFrame.h"
#include "BrelioServices/SQLiteConnection.h"
#include "BrelioSync/SyncManager.h"

HRESULT CEngineSession::Start(CSyncManager* manager) {
    CDriveApp* app = CDriveApp::GetInstance();
    CSettings& settings = app->GetSettings();
    HRESULT hr = settings.LoadAccount();
    if (FAILED(hr)) return hr;
    std::wstring header;
    hr = MakeSessionHeader(settings.GetSessionId().c_str(), settings.GetTenant().c_str(), header);
    if (FAILED(hr)) return hr;
    SetAuthHeader(header.c_str());
    m_databasePath = settings.GetLocalStoragePath();
    if (CSQLiteConnection::CreateDatabase(m_databasePath.c_str()) != 0) return E_FAIL;
    app->GetStopEvent().ResetEvent();
    m_manager = manager;
    return manager->StartAll();
}

HRESULT CEngineSession::Stop() {
    if (m_manager == nullptr) return S_OK;
    return m_manager->StopAll();
}
