#include "BrelioServices/StorageMigration.h"

#include <windows.h>
#include <shlwapi.h>

#include <string>

#include "BrelioServices/FileOperations.h"
#include "BrelioServices/DatabasePath.h"
#include "BrelioServices/RegistryKey.h"
#include "BrelioServices/RegistryLayout.h"

using brelio::ReadRegistryString;
using brelio::UniqueRegistryKey;

namespace {

constexpr int kMoveRetries = 4;
constexpr DWORD kMaxSubkeyName = 4096;

}  // namespace

void MigrateLocalStorage(const wchar_t* account) {
    if (account == nullptr || *account == L'\0') return;
    const std::wstring path = std::wstring(kSettingsKeyPath) + L"\\" + account;
    UniqueRegistryKey key;
    if (brelio::OpenRegistryKey(HKEY_CURRENT_USER, path.c_str(), KEY_READ, key) != ERROR_SUCCESS) return;
    std::wstring rootDir;
    std::wstring stored;
    if (ReadRegistryString(key.Get(), kRootDirValue, rootDir, kStoredPathMaxLength) != ERROR_SUCCESS) return;
    if (ReadRegistryString(key.Get(), kLocalStorageValue, stored, kStoredPathMaxLength) != ERROR_SUCCESS) return;
    key.Reset();

    if (!::PathFileExistsW(stored.c_str())) return;
    const std::wstring current = MakeLocalStoragePath(account, rootDir.c_str());
    if (current.empty() || _wcsicmp(current.c_str(), stored.c_str()) == 0) return;
    if (::PathFileExistsW(current.c_str())) return;
    // Not moved, the file keeps its old name and is tried again at the next
    // first run; nothing of it is lost.
    (void)MoveFileRetry(stored.c_str(), current.c_str(), kMoveRetries);
}

void MigrateAllLocalStorages() {
    UniqueRegistryKey settings;
    if (brelio::OpenRegistryKey(HKEY_CURRENT_USER, kSettingsKeyPath, KEY_READ, settings) != ERROR_SUCCESS) return;
    std::wstring name(kMaxSubkeyName + 1, L'\0');
    for (DWORD index = 0;; ++index) {
        DWORD length = kMaxSubkeyName + 1;
        const LSTATUS status =
            ::RegEnumKeyExW(settings.Get(), index, name.data(), &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_MORE_DATA) continue;  // a name that cannot be read is passed over
        if (status != ERROR_SUCCESS) break;       // the end, or a key that cannot be walked
        const std::wstring account(name.data(), length);
        if (account.find(L'@') != std::wstring::npos) MigrateLocalStorage(account.c_str());
    }
}
