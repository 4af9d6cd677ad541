#pragma once
#include <string>

// What a cabinet entry may be called before anything of it is written.

// An entry name as the cabinet stores it, as wide text. Names are read as
// UTF-8 whether or not the cabinet marks them so (plain ASCII is UTF-8
// too), never in the ANSI code page, which would turn a non-ASCII name into
// another name. False when the bytes are no UTF-8 text.
[[nodiscard]] bool DecodeCabinetEntryName(const char* name, std::wstring& wide);

// A relative path of plain names that stays inside the folder it is joined
// to: no drive or stream colon, no leading separator, no empty, "." or ".."
// component, no component that Windows would silently change (trailing dot
// or blank) or map to a device (CON, NUL, COM1, COM¹, ...), and none named
// like the install's own copies (IsInstallTemporaryName).
[[nodiscard]] bool IsSafeCabinetEntryName(const std::wstring& name);

// The name with every separator written as a backslash.
std::wstring WithBackslashes(std::wstring name);
