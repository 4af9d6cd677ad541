#pragma once
#include <windows.h>
#include <urlmon.h>

// urlmon.h maps this name to a function of its own; here it is the
// program's setting.
#undef IsLoggingEnabled

// The program's settings as the extension sees them (current user's
// registry), with the sync folder and the database path cached for the
// whole process. Inside Explorer a watcher drops the cache whenever the
// program signals a change; the generation counts those changes.

// Room for a path of the system's length and its terminator.
inline constexpr size_t kSettingPathCapacity = MAX_PATH + 1;

// Reads a string value of the current account's subkey. ERROR_SUCCESS only
// for a REG_SZ or REG_EXPAND_SZ value that ends in its terminator and fits
// `capacity`; anything else counts as absent and leaves `out` empty.
[[nodiscard]] LSTATUS ReadAccountSetting(const wchar_t* name, wchar_t* out, size_t capacity);

// The account's "RootDir" and "LocalStorage", from the cache or read
// afresh; an empty text when there is none.
void GetRootDir(wchar_t* out, size_t capacity);
void GetLocalStoragePath(wchar_t* out, size_t capacity);

// The settings generation: 1 at load, one higher after each change.
LONG GetSettingsGeneration();

// The program signalled a change: the cache is emptied and the generation
// raised, as one step.
void OnSettingsChanged();
// Nobody watches for changes any more in this process: from now on every
// read goes to the registry.
void StopCachingSettings();

// "EnableLogging" of the settings key is a REG_DWORD holding 1.
bool IsLoggingEnabled();
