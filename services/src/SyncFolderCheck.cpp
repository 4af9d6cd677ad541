#include "BrelioServices/SyncFolderCheck.h"

#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>

#include "BrelioServices/Log.h"
#include "BrelioServices/PathHelpers.h"

namespace {

constexpr size_t kStoredPathMax = MAX_PATH - 1;

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

bool IsLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

// "X:\..." or "\\server\share...": the only forms that mean the same folder
// whatever the current directory is. Device paths (\\?\, \\.\) are refused.
bool IsFullyQualified(std::wstring_view path) {
    if (path.size() >= 3 && IsLetter(path[0]) && path[1] == L':' && IsSeparator(path[2])) return true;
    if (path.size() < 5 || !IsSeparator(path[0]) || !IsSeparator(path[1])) return false;
    if (path[2] == L'?' || path[2] == L'.' || IsSeparator(path[2])) return false;
    const size_t serverEnd = path.find_first_of(L"\\/", 2);
    return serverEnd != std::wstring_view::npos && serverEnd + 1 < path.size() && !IsSeparator(path[serverEnd + 1]);
}

void DropTrailingSeparators(std::wstring& path) {
    while (!path.empty() && IsSeparator(path.back())) path.pop_back();
}

// The full, long form of an absolute path without trailing separators;
// false when it cannot be had or is too long to store.
bool Normalise(const std::wstring& path, std::wstring& out) {
    wchar_t full[MAX_PATH + 1] = L"";
    const DWORD length = ::GetFullPathNameW(path.c_str(), MAX_PATH + 1, full, nullptr);
    if (length == 0 || length > MAX_PATH) return false;
    std::wstring result(full, length);
    // Short (8.3) names of existing folders are spelled out, so that one
    // folder is not taken for another because it was written differently.
    wchar_t longForm[MAX_PATH + 1] = L"";
    const DWORD longLength = ::GetLongPathNameW(result.c_str(), longForm, MAX_PATH + 1);
    if (longLength != 0 && longLength <= MAX_PATH) result.assign(longForm, longLength);
    DropTrailingSeparators(result);
    out = std::move(result);
    return true;
}

// `inner` is `outer` itself or lies below it, by whole path components.
bool IsSameOrBelow(const std::wstring& inner, const std::wstring& outer) {
    if (outer.empty() || inner.size() < outer.size()) return false;
    if (_wcsnicmp(inner.c_str(), outer.c_str(), outer.size()) != 0) return false;
    return inner.size() == outer.size() || inner[outer.size()] == L'\\';
}

bool HoldsWorkingFolder(const std::wstring& candidate) {
    std::wstring localAppData;
    if (SUCCEEDED(GetKnownFolder(FOLDERID_LocalAppData, localAppData))) {
        std::wstring normalised;
        if (Normalise(localAppData, normalised) && IsSameOrBelow(normalised, candidate)) return true;
    }
    wchar_t temp[MAX_PATH + 1] = L"";
    const DWORD length = ::GetTempPathW(MAX_PATH + 1, temp);
    if (length != 0 && length <= MAX_PATH) {
        std::wstring normalised;
        if (Normalise(std::wstring(temp, length), normalised) && IsSameOrBelow(normalised, candidate)) return true;
    }
    return false;
}

}  // namespace

SyncFolderCheck CheckSyncFolder(std::wstring_view folder, std::wstring& normalised) {
    if (!IsFullyQualified(folder)) return SyncFolderCheck::NotAbsolute;
    if (folder.size() > kStoredPathMax) return SyncFolderCheck::TooLong;
    std::wstring full;
    if (!Normalise(std::wstring(folder), full)) return SyncFolderCheck::TooLong;
    if (full.size() > kStoredPathMax) return SyncFolderCheck::TooLong;
    // "C:" and "\\server\share" once the separators are gone; ".." may
    // have climbed there from a longer text.
    const std::wstring withSeparator = full + L"\\";
    if (full.size() <= 2 || ::PathIsRootW(withSeparator.c_str()) || ::PathIsUNCServerShareW(full.c_str()))
        return SyncFolderCheck::DriveRoot;
    if (HoldsWorkingFolder(full)) return SyncFolderCheck::HoldsProgramFolders;
    normalised = std::move(full);
    return SyncFolderCheck::Accepted;
}

const wchar_t* SyncFolderCheckText(SyncFolderCheck verdict) {
    switch (verdict) {
    case SyncFolderCheck::Accepted:
        return L"accepted";
    case SyncFolderCheck::NotAbsolute:
        return L"not a full path";
    case SyncFolderCheck::TooLong:
        return L"too long";
    case SyncFolderCheck::DriveRoot:
        return L"a drive or share root";
    case SyncFolderCheck::HoldsProgramFolders:
        return L"holds the program's own folders";
    }
    return L"unknown";
}

HRESULT CheckStoredSyncFolder(const std::wstring& folder) {
    std::wstring normalised;
    const SyncFolderCheck verdict = CheckSyncFolder(folder, normalised);
    if (verdict == SyncFolderCheck::Accepted) return S_OK;
    Log(L"Sync folder refused(%s).", SyncFolderCheckText(verdict));
    return kSyncFolderRefused;
}
