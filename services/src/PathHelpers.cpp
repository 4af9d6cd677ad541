#include "BrelioServices/PathHelpers.h"

#include <shlwapi.h>

#include "BrelioCore/UniqueHandle.h"

bool JoinPath(const wchar_t* folder, const wchar_t* more, std::wstring& path) {
    wchar_t joined[MAX_PATH] = L"";
    if (::PathCombineW(joined, folder, more) == nullptr) return false;
    path = joined;
    return true;
}

HRESULT GetKnownFolder(REFKNOWNFOLDERID id, std::wstring& path) {
    wchar_t* raw = nullptr;
    const HRESULT hr = ::SHGetKnownFolderPath(id, 0, nullptr, &raw);
    // The shell allocates even on some failures; the owner frees it either way.
    brelio::UniqueCoTaskMem<wchar_t> owned(raw);
    if (FAILED(hr)) return hr;
    if (!owned) return E_UNEXPECTED;
    path = owned.Get();
    return S_OK;
}

HRESULT GetProgramPath(std::wstring& path) { return GetModulePath(nullptr, path); }

HRESULT GetModulePath(HMODULE module, std::wstring& path) {
    wchar_t buffer[MAX_PATH + 1] = L"";
    const DWORD length = ::GetModuleFileNameW(module, buffer, MAX_PATH + 1);
    if (length == 0) return HRESULT_FROM_WIN32(::GetLastError());
    // A cut path (or one longer than any reader accepts) is no path at all.
    if (length > MAX_PATH) return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    path.assign(buffer, length);
    return S_OK;
}

std::wstring GetDefaultRootFolder() {
    std::wstring profile;
    std::wstring root;
    if (FAILED(GetKnownFolder(FOLDERID_Profile, profile))) return {};
    if (!JoinPath(profile.c_str(), L"BrelioDrive", root)) return {};
    return root;
}

std::wstring GetLogFilePath() {
    wchar_t temp[MAX_PATH + 1] = L"";
    const DWORD length = ::GetTempPathW(MAX_PATH + 1, temp);
    if (length == 0 || length > MAX_PATH) return {};
    std::wstring path;
    if (!JoinPath(temp, L"BrelioDrive.log", path)) return {};
    return path;
}
