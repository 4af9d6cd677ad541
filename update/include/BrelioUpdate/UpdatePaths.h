#pragma once
#include <windows.h>

#include <string>

#include "BrelioCore/JXVersion.h"
#include "BrelioServices/ModuleNames.h"

// The files an update works with, by name, beside those it installs
// (ModuleNames.h; the shell extension stands in the installation folder
// itself).
inline constexpr wchar_t kCabinetFileName[] = L"BrelioUpdate.cab";
inline constexpr wchar_t kIniFileName[] = L"BrelioUpdate.ini";
// The program's first argument when it starts again after a failed
// update. Any argument but its own switches runs it without the update
// check, so that it does not offer the update that just failed at once
// (the periodic check offers it later).
inline constexpr wchar_t kAfterFailedUpdateArgument[] = L"-UpdateFailed";
// The update work directory in the temporary folder: this prefix and a GUID.
inline constexpr wchar_t kWorkDirPrefix[] = L"BrelioUpdate-";

// A new "BrelioUpdate-<GUID>" folder in the temporary folder, made when it
// is missing (a failure to make it shows later, when files are written
// into it). Empty only when the temporary folder is unknown.
std::wstring CreateUpdateWorkDir();

// The folder of the running program's executable, without a trailing
// separator unless it is a drive's root. Empty on failure.
std::wstring GetModuleDirectory();

// The version of the running program's executable (its product version);
// all zero when it has none.
CJXVersion GetRunningVersion();
std::wstring VersionText(const CJXVersion& version);

// Both files have version resources and they are equal.
bool HaveEqualVersions(const wchar_t* first, const wchar_t* second);
