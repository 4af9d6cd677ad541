#pragma once
#include <windows.h>

// Settings read straight from the registry on each use (they are changed by
// hand while the program runs), and the two one-value writers.

// "SyncIdleTime" in ms when it is a REG_DWORD; 600000 otherwise.
DWORD GetSyncIdleTime();
// "TestMode" is a REG_DWORD holding exactly 1.
bool IsTestMode();
// Writes "FirstRun" (creating the settings key if needed); the settings
// object's flag is not touched.
LSTATUS SetFirstRun(bool on);
// Changes the default value of the "SettingsChange" subkey, which
// BrelioShellExt watches to drop its cached settings.
LSTATUS NotifySettingsChange();

// The Run value "BrelioDrive" names this very program (letter case aside).
bool IsAutoStartEnabled();
// On: writes the Run value; off: deletes it. Failures are ignored.
void SetAutoStart(bool on);
