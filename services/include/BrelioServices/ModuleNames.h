#pragma once
#include <windows.h>

// The file names of the programs and libraries that stand side by side in
// the installation folder, for each of them that loads, starts or
// replaces another.
inline constexpr wchar_t kDriveProgramName[] = L"BrelioDrive.exe";
inline constexpr wchar_t kUpdateLibraryName[] = L"BrelioUpdate.dll";
inline constexpr wchar_t kLauncherProgramName[] = L"BrelioLauncher.exe";
inline constexpr wchar_t kShellExtensionName[] = L"BrelioShellExt.dll";
inline constexpr wchar_t kOverlayLibraryName[] = L"BrelioIconOverlay.dll";
