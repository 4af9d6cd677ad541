#include "ExtensionSettings.h"

#include <atomic>
#include <string>

#include "BrelioCore/TextConvert.h"
#include "BrelioCore/WideFormat.h"
#include "BrelioServices/RegistryKey.h"
#include "BrelioServices/RegistryLayout.h"
#include "ExtensionLog.h"
#include "BrelioCore/JXSRWLock.h"

namespace {

CJXSRWLock g_settingsLock;
wchar_t g_rootDirCache[kSettingPathCapacity] = L"";
wchar_t g_localStorageCache[kSettingPathCapacity] = L"";
volatile LONG g_generation = 1;
std::atomic<bool> g_caching{true};

// One cached value: from the cache when it holds one, else read afresh
// (and kept when caching is on). Every fresh read is logged.
void GetCachedSetting(const wchar_t* name, wchar_t (&cache)[kSettingPathCapacity], const wchar_t* logFormat,
                      wchar_t* out, size_t capacity) {
    if (out == nullptr || capacity == 0) return;
    out[0] = L'\0';
    CJXSRWLockGuard lock(g_settingsLock, true);
    if (cache[0] != L'\0') {
        // A value that does not fit the caller's buffer is not handed out cut.
        if (!brelio::CopyTerminated(out, capacity, cache)) out[0] = L'\0';
        return;
    }
    wchar_t value[kSettingPathCapacity] = L"";
    if (ReadAccountSetting(name, value, kSettingPathCapacity) == ERROR_SUCCESS) {
        if (g_caching.load()) brelio::CopyTerminated(cache, kSettingPathCapacity, value);
        if (!brelio::CopyTerminated(out, capacity, value)) out[0] = L'\0';
    }
    if (IsExtensionLogOn()) LogExtension(logFormat, out);
}

}  // namespace

LSTATUS ReadAccountSetting(const wchar_t* name, wchar_t* out, size_t capacity) {
    if (out == nullptr || capacity == 0) return ERROR_INVALID_PARAMETER;
    out[0] = L'\0';
    brelio::UniqueRegistryKey settings;
    LSTATUS status = brelio::OpenRegistryKey(HKEY_CURRENT_USER, kSettingsKeyPath, KEY_READ, settings);
    if (status != ERROR_SUCCESS) return status;
    std::wstring account;
    status = brelio::ReadRegistryString(settings.Get(), kAccountValue, account, kAccountMaxLength);
    if (status != ERROR_SUCCESS) return status;
    if (account.empty()) return ERROR_FILE_NOT_FOUND;
    std::wstring subkey;
    if (!brelio::FormatWide(subkey, L"%s\\%s", kSettingsKeyPath, account.c_str())) return ERROR_INVALID_DATA;
    brelio::UniqueRegistryKey accountKey;
    status = brelio::OpenRegistryKey(HKEY_CURRENT_USER, subkey.c_str(), KEY_READ, accountKey);
    if (status != ERROR_SUCCESS) return status;
    std::wstring value;
    status = brelio::ReadRegistryString(accountKey.Get(), name, value, capacity - 1);
    if (status != ERROR_SUCCESS) return status;
    brelio::CopyTerminated(out, capacity, value);
    return ERROR_SUCCESS;
}

void GetRootDir(wchar_t* out, size_t capacity) {
    GetCachedSetting(kRootDirValue, g_rootDirCache, L"[BrelioShellExt] RootDir: %s", out, capacity);
}

void GetLocalStoragePath(wchar_t* out, size_t capacity) {
    GetCachedSetting(kLocalStorageValue, g_localStorageCache, L"[BrelioShellExt] LocalStoragePath: %s", out, capacity);
}

LONG GetSettingsGeneration() { return ::InterlockedCompareExchange(&g_generation, 0, 0); }

void OnSettingsChanged() {
    CJXSRWLockGuard lock(g_settingsLock, true);
    g_rootDirCache[0] = L'\0';
    g_localStorageCache[0] = L'\0';
    ::InterlockedIncrement(&g_generation);
    if (IsExtensionLogOn()) WriteExtensionLog("[BrelioShellExt] Settings changed.");
}

void StopCachingSettings() {
    g_caching.store(false);
    OnSettingsChanged();
}

bool IsLoggingEnabled() {
    brelio::UniqueRegistryKey settings;
    if (brelio::OpenRegistryKey(HKEY_CURRENT_USER, kSettingsKeyPath, KEY_READ, settings) != ERROR_SUCCESS) return false;
    return brelio::IsRegistryFlagOn(settings.Get(), kEnableLoggingValue);
}
