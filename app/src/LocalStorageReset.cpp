#include "BrelioApp/DriveApp.h"
#include "BrelioApp/LocalStorageVersion.h"
#include "BrelioApp/StringIds.h"
#include "BrelioServices/FileOperations.h"
#include "BrelioServices/Log.h"
#include "BrelioServices/SQLiteConnection.h"
#include "BrelioSync/SyncManager.h"

namespace {

// As many further looks as a file operation gets when it meets a file in use.
constexpr int kStorageRetries = 4;

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
    const std::wstring& path = m_settings.GetLocalStoragePath();
    StorageFileState state = StorageFileState::Missing;
    HRESULT read = E_FAIL;
    for (int attempt = 0; attempt <= kStorageRetries; ++attempt) {
        if (attempt > 0) ::Sleep(kFileRetryPause);
        read = ReadLocalStorageState(m_storageMutex, path.c_str(), state);
        if (SUCCEEDED(read)) break;
    }
    if (FAILED(read)) {
        // Busy or locked is no verdict on the file: the user's sync state
        // stays, and the engine's own steps retry as they run.
        Log(L"LocalStorage unreadable(0x%x), kept.", static_cast<unsigned>(read));
        m_storageReady = true;
        return S_OK;
    }
    if (state == StorageFileState::Current) {
        m_storageReady = true;
        return S_OK;
    }
    if (state == StorageFileState::Missing && m_settings.IsFirstRun()) {
        // The first-run options may still choose another folder; the
        // database is made for the folder chosen there, without asking
        // about one this sign-in would have made itself.
        m_storageReady = true;
        return S_FALSE;
    }
    Log(L"LocalStorage verstion mismatch.");
    const HRESULT replaced = ReplaceLocalStorage(owner, path);
    m_storageReady = SUCCEEDED(replaced);
    return FAILED(replaced) ? replaced : S_FALSE;
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
    HRESULT result = S_OK;
    {
        CNamedMutexLock lock(&m_storageMutex);
        // A journal left beside the old file would be played into the new
        // one: it goes with it.
        for (const std::wstring& file : {path, path + L"-journal"}) {
            if (!FileExists(file)) continue;
            result = RecycleFile(file.c_str(), kStorageRetries);
            if (FAILED(result)) break;
        }
        if (SUCCEEDED(result) && CSQLiteConnection::CreateDatabase(path.c_str()) != 0) result = E_FAIL;
    }
    if (FAILED(result)) {
        // Never go on with a file the user chose to drop or that is not
        // ours: it stays where it is, the user is told, and the engine
        // waits for the next start or folder change.
        Log(L"LocalStorage not replaced(0x%x).", static_cast<unsigned>(result));
        ShowMessage(owner, IDS_SYNC_DATA_NOT_REPLACED, MB_ICONERROR);
    }
    return result;
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
