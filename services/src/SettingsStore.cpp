#include <windows.h>
#include <shlwapi.h>

#include "BrelioServices/FileOperations.h"
#include "BrelioServices/DatabasePath.h"
#include "BrelioServices/NavigationPane.h"
#include "BrelioServices/RegistryKey.h"
#include "BrelioServices/RegistryLayout.h"
#include "BrelioServices/Settings.h"
#include "SettingsSupport.h"

using brelio::UniqueRegistryKey;

namespace {

constexpr int kCreateRootRetries = 4;

}  // namespace

LSTATUS CSettings::SetAccount(const wchar_t* tenant, const wchar_t* member) {
    std::wstring account;
    if (tenant != nullptr && *tenant != L'\0' && member != nullptr && *member != L'\0') {
        account = std::wstring(member) + L"@" + tenant;
        if (!IsValidAccount(account)) return ERROR_INVALID_PARAMETER;
    }
    m_account = std::move(account);

    UniqueRegistryKey key;
    const LSTATUS opened = brelio::CreateRegistryKey(HKEY_CURRENT_USER, kSettingsKeyPath, KEY_WRITE, key);
    if (opened != ERROR_SUCCESS) return opened;
    const LSTATUS written = brelio::WriteRegistryString(key.Get(), kAccountValue, m_account);
    if (written != ERROR_SUCCESS || m_account.empty()) return written;
    UniqueRegistryKey accountKey;
    return brelio::CreateRegistryKey(key.Get(), m_account.c_str(), KEY_WRITE, accountKey);
}

HRESULT CSettings::SetRootDir(const wchar_t* folder) {
    if (folder != nullptr) {
        if (_wcsicmp(folder, m_rootDir.c_str()) == 0) return S_OK;
        if (wcslen(folder) > kStoredPathMaxLength || ::PathIsRelativeW(folder)) return E_INVALIDARG;
    }
    if (m_account.empty()) return E_SETTINGS_NO_ACCOUNT;
    UniqueRegistryKey key;
    const LSTATUS opened =
        brelio::OpenRegistryKey(HKEY_CURRENT_USER, AccountKeyPath().c_str(), KEY_READ | KEY_WRITE, key);
    if (opened != ERROR_SUCCESS) return HRESULT_FROM_WIN32(opened);

    HRESULT created = S_OK;
    if (folder != nullptr) {
        created = CreateDirectoryRetry(folder, kCreateRootRetries);
        if (SUCCEEDED(created)) {
            m_rootDir = folder;
            brelio::WriteRegistryString(key.Get(), kRootDirValue, m_rootDir);
        }
    } else {
        std::wstring stored;
        const LSTATUS status = ReadStoredPath(key.Get(), kRootDirValue, stored);
        if (status == ERROR_SUCCESS) {
            m_rootDir = std::move(stored);
        } else {
            const std::wstring root = DefaultRootFolderFor(m_account);
            created = root.empty() ? HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND) : CreateDirectoryTree(root.c_str());
            if (SUCCEEDED(created)) {
                m_rootDir = root;
                // A hand-made value that cannot be used stays for its owner to see.
                if (status == ERROR_FILE_NOT_FOUND) brelio::WriteRegistryString(key.Get(), kRootDirValue, m_rootDir);
            }
        }
    }

    // Always from the root now in effect, also when the new one failed.
    std::wstring storagePath = MakeLocalStoragePath(m_account.c_str(), m_rootDir.c_str());
    if (!storagePath.empty()) {
        m_localStoragePath = std::move(storagePath);
        brelio::WriteRegistryString(key.Get(), kLocalStorageValue, m_localStoragePath);
    }
    key.Reset();

    // Not registered (E_FAIL), the Explorer entry has no target to set; the
    // folder's own result is what the caller gets.
    (void)SetNavigationPaneTarget(m_rootDir.c_str());
    return created;
}

LSTATUS CSettings::SetSessionId(const wchar_t* sessionId) {
    const std::wstring text = sessionId ? sessionId : L"";
    // Without an account there is no subkey to hold it.
    if (!m_account.empty()) {
        UniqueRegistryKey key;
        LSTATUS status =
            brelio::CreateRegistryKey(HKEY_CURRENT_USER, AccountKeyPath().c_str(), KEY_READ | KEY_WRITE, key);
        if (status == ERROR_SUCCESS) status = brelio::WriteRegistryString(key.Get(), kSessionIdValue, text);
        if (status != ERROR_SUCCESS) return status;
    }
    m_sessionId = text;
    return ERROR_SUCCESS;
}

HRESULT CSettings::SetSyncFolders(const CSyncFolderList& selection) {
    if (m_account.empty()) return E_SETTINGS_NO_ACCOUNT;
    UniqueRegistryKey key;
    const LSTATUS opened = brelio::CreateRegistryKey(HKEY_CURRENT_USER, AccountKeyPath().c_str(), KEY_WRITE, key);
    if (opened != ERROR_SUCCESS) return HRESULT_FROM_WIN32(opened);

    if (selection.IsEmpty()) {
        // The old list stays on disk, unread while the flag is 0.
        brelio::WriteRegistryDword(key.Get(), kSyncFolderValue, 0);
        m_syncFolders.Clear();
        return S_OK;
    }
    brelio::WriteRegistryDword(key.Get(), kSyncFolderValue, 1);
    brelio::DeleteRegistryKey(key.Get(), kSyncFolderSubkey);
    UniqueRegistryKey folders;
    const LSTATUS created = brelio::CreateRegistryKey(key.Get(), kSyncFolderSubkey, KEY_WRITE, folders);
    if (created != ERROR_SUCCESS) return HRESULT_FROM_WIN32(created);
    m_syncFolders.CopyFrom(selection, false);
    return m_syncFolders.SaveToKey(folders.Get());
}

LSTATUS CSettings::SetAutoLogin(bool on) {
    UniqueRegistryKey key;
    LSTATUS status = brelio::CreateRegistryKey(HKEY_CURRENT_USER, kSettingsKeyPath, KEY_WRITE, key);
    if (status == ERROR_SUCCESS) status = brelio::WriteRegistryDword(key.Get(), kAutoLoginValue, on ? 1 : 0);
    if (status != ERROR_SUCCESS) return status;
    m_autoLogin = on;
    return ERROR_SUCCESS;
}
