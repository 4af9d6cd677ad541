#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace brelio::test {

// The files make_fixtures.py made for this run (see there): a Windows path
// below the fixture folder, and the same on the Linux side for the
// stand-in.
std::wstring FixturePath(const std::wstring& relative);
std::string FixtureUnixPath(const std::string& relative);

// The versions the fixtures carry.
inline constexpr wchar_t kOldVersion[] = L"2.0.0.1";
inline constexpr wchar_t kNewVersion[] = L"2.0.0.2";

// Copies a folder tree into `to` (made when missing).
bool CopyTree(const std::wstring& from, const std::wstring& to);
// Every file below a folder, as relative paths, sorted.
std::vector<std::wstring> ListFiles(const std::wstring& folder);
// Each file below `expected` is in `actual` with the same bytes.
::testing::AssertionResult HasSameFiles(const std::wstring& expected, const std::wstring& actual);
// The two trees hold the same files with the same bytes.
::testing::AssertionResult AreSameTrees(const std::wstring& expected, const std::wstring& actual);

// Update work directories ("BrelioUpdate-*") in the temporary folder.
std::vector<std::wstring> ListWorkDirs();

}  // namespace brelio::test
