#include "BrelioApp/DriveApp.h"
#include "BrelioApp/StringIds.h"
#include "BrelioServices/LocalStorageVersion.h"
#include "BrelioServices/Log.h"
#include "BrelioSync/SyncManager.h"

namespace {

bool FileExists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The wait cursor for the length of a scope.
class CWaitCursor {
public:
    CWaitCursor() : m_previous(::SetCursor(::LoadCursorW(nullptr, IDC_WAIT))) {}
    ~CWaitCursor() { ::SetCursor(m_previous); }
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;

private:
    HCURSOR m_previous;
};

}  // namespace

HRESULT CDriveApp::CheckLocalStorageVersion(HWND owner) {
    const HRESULT checked =
        CheckLocalStorageFile(m_storageMutex, m_settings.GetLocalStoragePath(), m_settings.IsFirstRun());
    m_storageReady = SUCCEEDED(checked);
    // Never go on with a file the user chose to drop or that is not ours:
    // it stays where it is, the user is told, and the engine waits for the
    // next start or folder change.
    if (FAILED(checked)) ShowMessage(owner, IDS_SYNC_DATA_NOT_REPLACED, MB_ICONERROR);
    return checked;
}

HRESULT CDriveApp::ConfirmExistingStorage(HWND owner) {
    const std::wstring& path = m_settings.GetLocalStoragePath();
    if (FileExists(path) && ShowMessage(owner, IDS_KEEP_SYNC_DATA, MB_YESNO | MB_ICONQUESTION) == IDYES) {
        m_storageReady = true;
        return S_OK;
    }
    const HRESULT replaced = ReplaceLocalStorage(owner, path);
    m_storageReady = SUCCEEDED(replaced);
    return replaced;
}

HRESULT CDriveApp::ReplaceLocalStorage(HWND owner, const std::wstring& path) {
    const HRESULT replaced = ReplaceLocalStorageFile(m_storageMutex, path);
    if (FAILED(replaced)) ShowMessage(owner, IDS_SYNC_DATA_NOT_REPLACED, MB_ICONERROR);
    return replaced;
}

void CDriveApp::ResetLocalStorage(bool folderChanged) {
    CWaitCursor wait;
    (void)m_settings.LoadAccount();
    // The workers let go of the old folder and its database before the
    // database is kept or replaced.
    (void)StopSyncThreads();
    if (folderChanged) {
        Log(L"LocalStorage reset.");
        (void)ConfirmExistingStorage(GetMainFrameWindow());
    }
    (void)StartSyncThreadsOrTell(GetMainFrameWindow());
}
