#include "ExtensionStartup.h"

#include <windows.h>
#include <process.h>
#include <shlwapi.h>

#include <memory>
#include <string>

#include "BrelioCore/TextConvert.h"
#include "BrelioCore/UniqueHandle.h"
#include "BrelioCore/WideFormat.h"
#include "BrelioFramework/ComObject.h"
#include "BrelioFramework/Module.h"
#include "BrelioServices/PathHelpers.h"
#include "BrelioServices/RegistryKey.h"
#include "BrelioServices/RegistryLayout.h"
#include "ExtensionLog.h"
#include "ExtensionSettings.h"

namespace {

INIT_ONCE g_startOnce = INIT_ONCE_STATIC_INIT;

// What the watcher thread is handed: the "SettingsChange" key with a
// notification already asked for, its event, and a loader reference on
// this library.
struct WatchStart {
    HMODULE self;
    HKEY key;
    HANDLE changed;
};

// Asks for the next write to a value of the key, signalled on the event.
bool AskForNextChange(HKEY key, HANDLE changed) {
    return ::RegNotifyChangeKeyValue(key, FALSE, REG_NOTIFY_CHANGE_LAST_SET, changed, TRUE) == ERROR_SUCCESS;
}

// Drops the cached settings after each write to the "SettingsChange" key.
// The thread holds the module for as long as it runs (a module lock, so
// that DllCanUnloadNow says S_FALSE, and a loader reference, so that its
// code stays mapped until it has left it): Explorer unloads a library
// whose DllCanUnloadNow says S_OK.
unsigned __stdcall SettingsChangeWatchThread(void* param) {
    std::unique_ptr<WatchStart> start(static_cast<WatchStart*>(param));
    const HMODULE self = start->self;
    {
        brelio::UniqueRegistryKey key(start->key);
        brelio::UniqueKernelHandle changed(start->changed);
        // The next change is asked for before the caches are dropped, so
        // that none slips through in between. Asking fails once the key
        // was deleted (which also signals): there is nothing left to watch.
        while (::WaitForSingleObject(changed.Get(), INFINITE) == WAIT_OBJECT_0) {
            const bool watching = AskForNextChange(key.Get(), changed.Get());
            OnSettingsChanged();
            if (!watching) break;
        }
        // With nobody to drop them, settings are no longer cached.
        StopCachingSettings();
    }
    ATL::ModuleUnlock();
    ::FreeLibraryAndExitThread(self, 0);
    return 0;
}

// Opens the key and asks for its first change here, on the thread of the
// first handler, so that a change right after the handler was made is not
// missed while the watcher thread starts.
bool StartSettingsWatcher() {
    std::wstring path;
    auto start = std::make_unique<WatchStart>();
    brelio::UniqueRegistryKey key;
    if (!brelio::FormatWide(path, L"%s\\%s", kSettingsKeyPath, kSettingsChangeSubkey) ||
        brelio::CreateRegistryKey(HKEY_CURRENT_USER, path.c_str(), KEY_NOTIFY | KEY_READ, key) != ERROR_SUCCESS)
        return false;
    brelio::UniqueKernelHandle changed(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
    if (!changed || !AskForNextChange(key.Get(), changed.Get())) return false;
    if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                              reinterpret_cast<LPCWSTR>(&SettingsChangeWatchThread), &start->self))
        return false;
    start->key = key.Get();
    start->changed = changed.Get();
    ATL::ModuleLock();
    const uintptr_t thread = ::_beginthreadex(nullptr, 0, SettingsChangeWatchThread, start.get(), 0, nullptr);
    if (thread == 0) {
        ATL::ModuleUnlock();
        ::FreeLibrary(start->self);
        return false;
    }
    // The thread owns them now, and runs on without its handle.
    start.release();
    key.Release();
    changed.Release();
    const brelio::UniqueKernelHandle threadHandle(reinterpret_cast<HANDLE>(thread));
    return true;
}

BOOL CALLBACK ExtensionInitOnceCallback(PINIT_ONCE, void*, void**) {
    if (!StartSettingsWatcher()) StopCachingSettings();
    if (IsLoggingEnabled()) {
        std::wstring path;
        if (SUCCEEDED(GetModulePath(ATL::GetModuleInstance(), path))) {
            const std::string text = "[BrelioShellExt] " + brelio::WideToAnsi(path) + " loaded.";
            WriteExtensionLog(text.c_str());
        }
        SwitchExtensionLogOn();
    }
    return TRUE;
}

}  // namespace

bool IsExplorerProcess() {
    std::wstring path;
    if (FAILED(GetProgramPath(path))) return false;
    return ::StrCmpIW(::PathFindFileNameW(path.c_str()), L"explorer.exe") == 0;
}

void InitializeExtensionOnce() {
    if (!IsExplorerProcess()) return;
    ::InitOnceExecuteOnce(&g_startOnce, ExtensionInitOnceCallback, nullptr, nullptr);
}
