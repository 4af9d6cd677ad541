#include "BrelioServices/FileOperations.h"
#include "BrelioServices/LocalStorageVersion.h"
#include "BrelioServices/Log.h"
#include "BrelioServices/NamedMutex.h"
#include "BrelioServices/SQLiteConnection.h"

namespace {

// As many further looks as a file operation gets when it meets a file in use.
constexpr int kStorageRetries = 4;

bool FileExists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace

HRESULT ReplaceLocalStorageFile(CNamedMutex& mutex, const std::wstring& path) {
    HRESULT result = S_OK;
    {
        CNamedMutexLock lock(&mutex);
        for (const std::wstring& file : {path, path + L"-journal"}) {
            if (!FileExists(file)) continue;
            result = RecycleFile(file.c_str(), kStorageRetries);
            if (FAILED(result)) break;
        }
        if (SUCCEEDED(result) && CSQLiteConnection::CreateDatabase(path.c_str()) != 0) result = E_FAIL;
    }
    if (FAILED(result)) Log(L"LocalStorage not replaced(0x%x).", static_cast<unsigned>(result));
    return result;
}

HRESULT CheckLocalStorageFile(CNamedMutex& mutex, const std::wstring& path, bool firstRun) {
    StorageFileState state = StorageFileState::Missing;
    HRESULT read = E_FAIL;
    for (int attempt = 0; attempt <= kStorageRetries; ++attempt) {
        if (attempt > 0) ::Sleep(kFileRetryPause);
        read = ReadLocalStorageState(mutex, path.c_str(), state);
        if (SUCCEEDED(read)) break;
    }
    if (FAILED(read)) {
        // Busy or locked is no verdict on the file: the user's sync state
        // stays, and the engine's own steps retry as they run.
        Log(L"LocalStorage unreadable(0x%x), kept.", static_cast<unsigned>(read));
        return S_OK;
    }
    if (state == StorageFileState::Current) return S_OK;
    // The first-run options may still choose another folder; the database
    // is made for the folder chosen there, without asking about one this
    // sign-in would have made itself.
    if (state == StorageFileState::Missing && firstRun) return S_FALSE;
    Log(L"LocalStorage verstion mismatch.");
    const HRESULT replaced = ReplaceLocalStorageFile(mutex, path);
    return FAILED(replaced) ? replaced : S_FALSE;
}
