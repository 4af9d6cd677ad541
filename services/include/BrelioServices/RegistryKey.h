#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "BrelioCore/UniqueHandle.h"

namespace brelio {

// An open registry key. Never holds one of the predefined root keys.
using UniqueRegistryKey = UniqueRegKey;

// The longest string any reader takes: 8192 bytes with the terminator.
constexpr size_t kRegistryStringMaxLength = 4095;

// Every result below is a Win32 status (ERROR_SUCCESS on success). On
// failure the out-argument is left as it was.
LSTATUS OpenRegistryKey(HKEY parent, const wchar_t* path, REGSAM access, UniqueRegistryKey& key);
// `created` (optional) tells whether the key is new.
LSTATUS CreateRegistryKey(HKEY parent, const wchar_t* path, REGSAM access, UniqueRegistryKey& key,
                          bool* created = nullptr);

// A string value as it was stored, REG_SZ or REG_EXPAND_SZ, never expanded.
// ERROR_FILE_NOT_FOUND: no such value. ERROR_INVALID_DATATYPE: another
// type. ERROR_INVALID_DATA: an odd byte count or no terminating NUL (the
// writer's text may have been cut). ERROR_MORE_DATA: longer than
// `maxLength` characters.
LSTATUS ReadRegistryString(HKEY key, const wchar_t* name, std::wstring& text,
                           size_t maxLength = kRegistryStringMaxLength);
// A REG_DWORD of exactly four bytes; any other type or size is refused
// with ERROR_INVALID_DATATYPE or ERROR_INVALID_DATA.
LSTATUS ReadRegistryDword(HKEY key, const wchar_t* name, DWORD& value);
// A flag is on only when the value is a REG_DWORD holding exactly 1.
bool IsRegistryFlagOn(HKEY key, const wchar_t* name);

// Strings are written with their terminator.
LSTATUS WriteRegistryString(HKEY key, const wchar_t* name, std::wstring_view text, DWORD type = REG_SZ);
LSTATUS WriteRegistryDword(HKEY key, const wchar_t* name, DWORD value);
LSTATUS WriteRegistryQword(HKEY key, const wchar_t* name, uint64_t value);

// Deletes a subkey that has no subkeys of its own (RegDeleteKeyExW where
// the system offers it). A missing subkey is success.
LSTATUS DeleteRegistryKey(HKEY parent, const wchar_t* subkey);
// Deletes a subkey with everything below it. A missing subkey is success.
LSTATUS DeleteRegistryTree(HKEY parent, const wchar_t* subkey);

}  // namespace brelio
