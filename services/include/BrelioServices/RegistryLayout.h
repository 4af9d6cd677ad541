#pragma once
#include <windows.h>

// Where BrelioDrive, BrelioShellExt and BrelioUpdate keep their settings,
// all under HKEY_CURRENT_USER. The three deliverables read the same names.

// The settings key and its values.
inline constexpr wchar_t kSettingsKeyPath[] = L"SOFTWARE\\Ostrel Corporation\\BrelioDrive";
inline constexpr wchar_t kAccountValue[] = L"Account";
inline constexpr wchar_t kEnableLoggingValue[] = L"EnableLogging";
inline constexpr wchar_t kFirstRunValue[] = L"FirstRun";
inline constexpr wchar_t kAutoLoginValue[] = L"AutoLogin";
inline constexpr wchar_t kSyncIdleTimeValue[] = L"SyncIdleTime";
inline constexpr wchar_t kTestModeValue[] = L"TestMode";
inline constexpr wchar_t kShellExtensionValue[] = L"ShellExtension";
// Subkey whose default value changes whenever the settings change.
inline constexpr wchar_t kSettingsChangeSubkey[] = L"SettingsChange";

// The account subkey (named by the account text) and its values.
inline constexpr wchar_t kRootDirValue[] = L"RootDir";
inline constexpr wchar_t kLocalStorageValue[] = L"LocalStorage";
inline constexpr wchar_t kSessionIdValue[] = L"SessionId";
// A DWORD of the account subkey (1: selected folders only) and, with the
// same name, the subkey that lists the selected folders.
inline constexpr wchar_t kSyncFolderValue[] = L"SyncFolder";
inline constexpr wchar_t kSyncFolderSubkey[] = L"SyncFolder";

// Start with Windows.
inline constexpr wchar_t kRunKeyPath[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr wchar_t kRunValue[] = L"BrelioDrive";

// What readers in other processes accept (their buffers are this long).
inline constexpr size_t kAccountMaxLength = 127;
inline constexpr size_t kStoredPathMaxLength = MAX_PATH;

inline constexpr DWORD kDefaultSyncIdleTime = 600000;  // ms
