#pragma once
#include <cstdint>
#include <string>
#include <string_view>

// 64-bit FNV-1a over the UTF-16LE bytes of the folder with A-Z lower-cased,
// so that one folder written in other letter case gives the same hash.
uint64_t HashRootFolder(std::wstring_view folder);

// The database of one account and sync folder: the local application-data
// folder, then "<account>-<low 32 bits of the folder hash in hex>.db".
// Empty when that folder cannot be obtained or the path would not fit.
std::wstring MakeLocalStoragePath(const wchar_t* account, const wchar_t* rootFolder);
