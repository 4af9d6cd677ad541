#include <windows.h>

#include "BrelioServices/FileOperations.h"
#include "BrelioServices/DatabasePath.h"
#include "BrelioServices/Log.h"
#include "BrelioServices/RegistryKey.h"
#include "BrelioServices/RegistryLayout.h"
#include "BrelioServices/Settings.h"
#include "BrelioServices/StorageMigration.h"
#include "SettingsSupport.h"

using brelio::UniqueRegistryKey;

namespace {

// A present flag sets the field (on only when 1); an absent one leaves it.
void ReadFlag(HKEY key, const wchar_t* name, bool& flag) {
    DWORD value = 0;
    const LSTATUS status = brelio::ReadRegistryDword(key, name, value);
    if (status == ERROR_SUCCESS) {
        flag = value == 1;
    } else if (status != ERROR_FILE_NOT_FOUND) {
        LogIgnoredValue(name, status);
    }
}

}  // namespace

std::wstring CSettings::AccountKeyPath() const { return std::wstring(kSettingsKeyPath) + L"\\" + m_account; }

std::wstring CSettings::GetTenant() const {
    const size_t at = m_account.rfind(L'@');
    if (at == std::wstring::npos) return {};
    return m_account.substr(at + 1);
}

int CSettings::LoadGlobal() {
    UniqueRegistryKey key;
    bool created = false;
    const LSTATUS opened =
        brelio::CreateRegistryKey(HKEY_CURRENT_USER, kSettingsKeyPath, KEY_READ | KEY_WRITE, key, &created);
    if (opened != ERROR_SUCCESS) return HRESULT_FROM_WIN32(opened);

    std::wstring account;
    LSTATUS status = brelio::ReadRegistryString(key.Get(), kAccountValue, account, kAccountMaxLength);
    // An account that cannot name its subkey would send every later read
    // and write somewhere else.
    if (status == ERROR_SUCCESS && !account.empty() && !IsValidAccount(account)) status = ERROR_INVALID_DATA;
    if (status == ERROR_SUCCESS) {
        m_account = std::move(account);
    } else if (status != ERROR_FILE_NOT_FOUND) {
        LogIgnoredValue(kAccountValue, status);
    }

    ReadFlag(key.Get(), kEnableLoggingValue, m_enableLogging);
    bool firstRun = false;
    ReadFlag(key.Get(), kFirstRunValue, firstRun);
    if (firstRun) {
        // Only this start counts as the first run.
        brelio::WriteRegistryDword(key.Get(), kFirstRunValue, 0);
        m_firstRun = true;
    }
    ReadFlag(key.Get(), kAutoLoginValue, m_autoLogin);
    key.Reset();

    if (m_firstRun) MigrateAllLocalStorages();
    return created ? 1 : 0;
}

HRESULT CSettings::LoadAccount() {
    if (m_account.empty()) return E_SETTINGS_NO_ACCOUNT;
    UniqueRegistryKey key;
    const LSTATUS opened = brelio::CreateRegistryKey(HKEY_CURRENT_USER, AccountKeyPath().c_str(),
                                                     KEY_READ | KEY_WRITE, key);
    if (opened != ERROR_SUCCESS) return HRESULT_FROM_WIN32(opened);

    std::wstring rootDir;
    LSTATUS status = ReadStoredPath(key.Get(), kRootDirValue, rootDir);
    if (status != ERROR_SUCCESS) {
        if (status != ERROR_FILE_NOT_FOUND) LogIgnoredValue(kRootDirValue, status);
        rootDir = DefaultRootFolderFor(m_account);
        if (rootDir.empty()) return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
        if (status == ERROR_FILE_NOT_FOUND) brelio::WriteRegistryString(key.Get(), kRootDirValue, rootDir);
    }
    m_rootDir = std::move(rootDir);

    std::wstring storagePath;
    status = ReadStoredPath(key.Get(), kLocalStorageValue, storagePath);
    if (status != ERROR_SUCCESS) {
        if (status != ERROR_FILE_NOT_FOUND) LogIgnoredValue(kLocalStorageValue, status);
        storagePath = MakeLocalStoragePath(m_account.c_str(), m_rootDir.c_str());
        if (storagePath.empty()) return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
        if (status == ERROR_FILE_NOT_FOUND) brelio::WriteRegistryString(key.Get(), kLocalStorageValue, storagePath);
    }
    m_localStoragePath = std::move(storagePath);

    // A folder that is gone is made anew, empty, so that the monitor has a
    // folder to watch and the user a place to save into. That is safe only
    // because the walk refuses an empty folder whose items are recorded in
    // sync, and remembers the refusal until a walk succeeds: an empty
    // folder, or one holding only what was saved into it since, never
    // sends the drive's items to the trash.
    const bool wasMissing = ::GetFileAttributesW(m_rootDir.c_str()) == INVALID_FILE_ATTRIBUTES;
    const HRESULT created = CreateDirectoryTree(m_rootDir.c_str());
    if (FAILED(created)) return created;
    if (wasMissing) Log(L"%s - the sync folder was missing and is made anew.", m_rootDir.c_str());

    std::wstring sessionId;
    status = brelio::ReadRegistryString(key.Get(), kSessionIdValue, sessionId);
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) LogIgnoredValue(kSessionIdValue, status);
    m_sessionId = std::move(sessionId);

    m_syncFolders.Clear();
    DWORD selectedOnly = 0;
    if (brelio::ReadRegistryDword(key.Get(), kSyncFolderValue, selectedOnly) == ERROR_SUCCESS && selectedOnly == 1) {
        UniqueRegistryKey folders;
        if (brelio::OpenRegistryKey(key.Get(), kSyncFolderSubkey, KEY_READ, folders) == ERROR_SUCCESS) {
            const HRESULT loaded = m_syncFolders.LoadFromKey(folders.Get());
            if (FAILED(loaded)) LogIgnoredValue(kSyncFolderSubkey, HRESULT_CODE(loaded));
        }
    }
    return S_OK;
}
