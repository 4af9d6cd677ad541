#pragma once
#include <string>

// "BrelioUpdate.ini" in the update work directory: one "key=value" line
// each, CR LF ended, in UTF-8 so that any folder name survives. Keys are
// compared exactly. Reading stops at the first empty line; a line without
// a value after its equals sign counts as absent.

inline constexpr wchar_t kIniVersionKey[] = L"VERSION";
inline constexpr wchar_t kIniInstallDirKey[] = L"InstallDir";

// Sets one key and writes the file anew with every entry it held. False
// when the file could not be opened or written.
[[nodiscard]] bool SetIniValue(const std::wstring& workDir, const wchar_t* key, const std::wstring& value);

// The value of a key, trimmed of white space; empty when the file or the
// key is missing.
std::wstring GetIniValue(const std::wstring& workDir, const wchar_t* key);
