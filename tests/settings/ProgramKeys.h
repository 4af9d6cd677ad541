#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

// The registry as the program leaves it, read with the plain API so that
// the code under test does not check itself.

// Deletes the settings key, the Explorer entry's keys and values and the
// Run value: every test of the program's keys starts from nothing.
void DeleteProgramKeys();

// Every key and value below HKCU\path, one line each:
//   "K <subpath>" and "V <subpath>|<value name>|<type name>".
// The key itself is "K " with an empty subpath.
std::set<std::wstring> DescribeTree(const wchar_t* path);

struct RawValue {
    DWORD type = REG_NONE;
    std::vector<BYTE> bytes;
    bool operator==(const RawValue&) const = default;
};

// Writes exactly these bytes (no terminator added), creating the key.
void WriteRaw(const std::wstring& keyPath, const wchar_t* name, DWORD type, const void* data, DWORD size);
void WriteRawString(const std::wstring& keyPath, const wchar_t* name, const std::wstring& text, DWORD type = REG_SZ);
void WriteRawDword(const std::wstring& keyPath, const wchar_t* name, DWORD value);
// type REG_NONE with no bytes when the value does not exist.
RawValue ReadRaw(const std::wstring& keyPath, const wchar_t* name);
bool KeyExists(const std::wstring& keyPath);

// A string as the registry holds it: the text followed by a NUL.
std::wstring StoredString(const RawValue& value);

// <profile>\BrelioDrive\<account>, where an account's folder goes by default.
std::wstring DefaultAccountRoot(const wchar_t* account);

// Starts and ends every test with the program's keys deleted.
class ProgramKeysTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
};
