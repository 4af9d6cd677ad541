#include "ExtensionStartup.h"

#include <windows.h>
#include <process.h>
#include <shlwapi.h>

#include <string>

#include "BrelioCore/TextConvert.h"
#include "BrelioCore/UniqueHandle.h"
#include "BrelioCore/WideFormat.h"
#include "BrelioFramework/ComObject.h"
#include "BrelioFramework/Module.h"
#include "BrelioServices/RegistryKey.h"
#include "BrelioServices/RegistryLayout.h"
#include "ExtensionLog.h"
#include "ExtensionSettings.h"

namespace {

INIT_ONCE g_startOnce = INIT_ONCE_STATIC_INIT;

// Waits for writes to the "SettingsChange" key and drops the cached
// settings after each. The thread holds the module for as long as it runs
// (a module lock, so that DllCanUnloadNow says S_FALSE, and a loader
// reference, so that its code stays mapped until it has left it): Explorer
// unloads a library whose DllCanUnloadNow says S_OK.
unsigned __stdcall SettingsChangeWatchThread(void* param) {
    HMODULE self = static_cast<HMODULE>(param);
    std::wstring path;
    brelio::UniqueRegistryKey key;
    if (brelio::FormatWide(path, L"%s\\%s", kSettingsKeyPath, kSettingsChangeSubkey) &&
        brelio::CreateRegistryKey(HKEY_CURRENT_USER, path.c_str(), KEY_NOTIFY | KEY_READ, key) == ERROR_SUCCESS) {
        // A failed wait (the key was deleted under it) ends the watch: with
        // nobody to drop them, settings are no longer cached.
        while (::RegNotifyChangeKeyValue(key.Get(), FALSE, REG_NOTIFY_CHANGE_LAST_SET, nullptr, FALSE) ==
               ERROR_SUCCESS) {
            // A deleted key also wakes the wait; the next wait then fails.
            OnSettingsChanged();
        }
    }
    StopCachingSettings();
    key.Reset();
    ATL::ModuleUnlock();
    ::FreeLibraryAndExitThread(self, 0);
    return 0;
}

bool StartSettingsWatcher() {
    HMODULE self = nullptr;
    if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                              reinterpret_cast<LPCWSTR>(&SettingsChangeWatchThread), &self))
        return false;
    ATL::ModuleLock();
    const uintptr_t thread = ::_beginthreadex(nullptr, 0, SettingsChangeWatchThread, self, 0, nullptr);
    if (thread == 0) {
        ATL::ModuleUnlock();
        ::FreeLibrary(self);
        return false;
    }
    // The thread runs on without its handle.
    const brelio::UniqueKernelHandle threadHandle(reinterpret_cast<HANDLE>(thread));
    return true;
}

BOOL CALLBACK ExtensionInitOnceCallback(PINIT_ONCE, void*, void**) {
    if (!StartSettingsWatcher()) StopCachingSettings();
    if (IsLoggingEnabled()) {
        wchar_t path[MAX_PATH + 1] = L"";
        const DWORD length = ::GetModuleFileNameW(ATL::GetModuleInstance(), path, MAX_PATH + 1);
        if (length > 0 && length <= MAX_PATH) {
            const std::string text = "[BrelioShellExt] " + brelio::WideToAnsi(path) + " loaded.";
            WriteExtensionLog(text.c_str());
        }
        SwitchExtensionLogOn();
    }
    return TRUE;
}

}  // namespace

bool IsExplorerProcess() {
    wchar_t path[MAX_PATH + 1] = L"";
    const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH + 1);
    if (length == 0 || length > MAX_PATH) return false;
    return ::StrCmpIW(::PathFindFileNameW(path), L"explorer.exe") == 0;
}

void InitializeExtensionOnce() {
    if (!IsExplorerProcess()) return;
    ::InitOnceExecuteOnce(&g_startOnce, ExtensionInitOnceCallback, nullptr, nullptr);
}
