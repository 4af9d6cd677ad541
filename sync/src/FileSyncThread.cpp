#include "BrelioSync/FileSyncThread.h"

#include "BrelioServices/Log.h"
#include "BrelioServices/Settings.h"
#include "BrelioSync/LocalName.h"
#include "BrelioServices/RelativePath.h"
#include "BrelioSync/SyncManager.h"

void CFileSyncThread::Configure(const SyncEnvironment& environment) {
    m_env = environment;
    m_stopSeen = false;
}

SyncEnvironment CFileSyncThread::EnvironmentFromHost(CSyncManager* manager) {
    IEngineHost& host = manager->GetHost();
    const CSettings& settings = host.GetSettings();
    SyncEnvironment environment;
    environment.syncRoot = settings.GetRootDir();
    environment.databasePath = settings.GetLocalStoragePath();
    environment.storageMutex = &host.GetStorageMutex();
    environment.stopEvent = host.GetStopEvent();
    environment.syncManager = manager;
    environment.selectedFolders = &settings.GetSyncFolders();
    return environment;
}

bool CFileSyncThread::CheckStop() {
    if (m_stopSeen) return true;
    if (m_env.stopEvent != nullptr && ::WaitForSingleObject(m_env.stopEvent, 0) == WAIT_OBJECT_0) m_stopSeen = true;
    if (m_stopRequested.Wait(0) == WAIT_OBJECT_0) m_stopSeen = true;
    return m_stopSeen;
}

CLocalStorage CFileSyncThread::Storage() const {
    return CLocalStorage(m_env.storageMutex, m_env.databasePath.c_str(), m_env.syncRoot.c_str());
}

std::wstring CFileSyncThread::RootJoin(const std::wstring& relative) const {
    std::wstring path;
    if (!JoinName(m_env.syncRoot.c_str(), relative, path)) path.clear();
    return path;
}

const wchar_t* CFileSyncThread::Relative(const wchar_t* fullPath) const {
    return GetRelativePath(fullPath, m_env.syncRoot.c_str());
}

HRESULT CFileSyncThread::ReportSkipped(const wchar_t* path, bool isFolder, HRESULT reason, const wchar_t* why) {
    Log(L"%s - skipped, %s(0x%x).", path, why, static_cast<unsigned>(reason));
    // Whatever the reason, the item was not brought into agreement.
    m_passIncomplete = true;
    // A wait for the partial sync is no failure and no result to show.
    if (FAILED(reason)) NotifyResult(path, isFolder, reason);
    return reason;
}

BOOL CFileSyncThread::NotifyResult(const wchar_t* path, bool isFolder, HRESULT result) {
    if (FAILED(result)) {
        m_passIncomplete = true;
        m_itemFailed = true;
    }
    return m_env.syncManager->NotifyResult(path, isFolder, result);
}
