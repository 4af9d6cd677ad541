#include "EngineSession.h"

HRESULT CEngineSession::Start() {
    const HRESULT started = m_host.StartEngine();
    m_databasePath = m_host.GetSettings().GetLocalStoragePath();
    if (SUCCEEDED(started) || started == HRESULT_FROM_WIN32(ERROR_BUSY)) m_started = true;
    return started;
}

HRESULT CEngineSession::Stop() {
    if (!m_started) return S_OK;
    return m_host.StopEngine();
}
