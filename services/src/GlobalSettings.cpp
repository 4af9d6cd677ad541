#include "BrelioServices/GlobalSettings.h"

#include <string>

#include "BrelioServices/RegistryKey.h"
#include "BrelioServices/RegistryLayout.h"

using brelio::UniqueRegistryKey;

DWORD GetSyncIdleTime() {
    UniqueRegistryKey key;
    DWORD idle = kDefaultSyncIdleTime;
    if (brelio::OpenRegistryKey(HKEY_CURRENT_USER, kSettingsKeyPath, KEY_READ, key) == ERROR_SUCCESS)
        brelio::ReadRegistryDword(key.Get(), kSyncIdleTimeValue, idle);
    return idle;
}

bool IsTestMode() {
    UniqueRegistryKey key;
    if (brelio::OpenRegistryKey(HKEY_CURRENT_USER, kSettingsKeyPath, KEY_READ, key) != ERROR_SUCCESS) return false;
    return brelio::IsRegistryFlagOn(key.Get(), kTestModeValue);
}

LSTATUS SetFirstRun(bool on) {
    UniqueRegistryKey key;
    const LSTATUS status = brelio::CreateRegistryKey(HKEY_CURRENT_USER, kSettingsKeyPath, KEY_WRITE, key);
    if (status != ERROR_SUCCESS) return status;
    return brelio::WriteRegistryDword(key.Get(), kFirstRunValue, on ? 1 : 0);
}

LSTATUS NotifySettingsChange() {
    const std::wstring path = std::wstring(kSettingsKeyPath) + L"\\" + kSettingsChangeSubkey;
    UniqueRegistryKey key;
    const LSTATUS status = brelio::CreateRegistryKey(HKEY_CURRENT_USER, path.c_str(), KEY_WRITE, key);
    if (status != ERROR_SUCCESS) return status;
    return brelio::WriteRegistryDword(key.Get(), nullptr, ::GetTickCount());
}
