#include <windows.h>
#include <shlwapi.h>

#include <string>
#include <vector>

#include "BrelioCore/UniqueHandle.h"
#include "BrelioServices/FileOperations.h"
#include "FileOperationSupport.h"

namespace {

HRESULT CreateOneLevel(const wchar_t* path, int retries) {
    return RunWithRetries(retries, [path] {
        if (::CreateDirectoryW(path, nullptr)) return S_OK;
        const DWORD error = ::GetLastError();
        // Someone else made it meanwhile: what was wanted exists.
        return error == ERROR_ALREADY_EXISTS ? S_OK : HresultFromWin32(static_cast<int>(error));
    });
}

// The parent of a path, or false when it cannot be shortened any further.
bool CutLastComponent(std::wstring& path) {
    std::wstring parent = path;
    if (!::PathRemoveFileSpecW(parent.data())) return false;
    parent.resize(wcslen(parent.c_str()));
    if (parent.size() >= path.size()) return false;
    path = std::move(parent);
    return true;
}

// The item at the path has the path's last name, letter case included.
bool IsSpelledSo(const wchar_t* path) {
    WIN32_FIND_DATAW data = {};
    const brelio::UniqueFindHandle find(::FindFirstFileW(path, &data));
    return find && wcscmp(data.cFileName, ::PathFindFileNameW(path)) == 0;
}

}  // namespace

HRESULT HresultFromWin32(int code) {
    if (code <= 0) return static_cast<HRESULT>(code);
    return static_cast<HRESULT>(0x80070000u | (static_cast<unsigned>(code) & 0xFFFFu));
}

HRESULT CreateDirectoryRetry(const wchar_t* path, int retries) {
    if (::PathIsDirectoryW(path)) return S_OK;
    if (::PathFileExistsW(path)) return E_FAIL;
    return CreateOneLevel(path, retries);
}

HRESULT CreateDirectoryTree(const wchar_t* path, int retries) {
    if (path == nullptr || *path == L'\0') return E_INVALIDARG;
    // Walk up until a level exists or can be made; the levels passed on the
    // way are made afterwards, the highest first.
    std::vector<std::wstring> pending;
    std::wstring current = path;
    HRESULT lastFailure = E_FAIL;
    for (;;) {
        if (::PathIsDirectoryW(current.c_str())) break;
        if (!::PathFileExistsW(current.c_str())) {
            const HRESULT hr = CreateOneLevel(current.c_str(), retries);
            if (SUCCEEDED(hr)) break;
            lastFailure = hr;
        }
        pending.push_back(current);
        if (!CutLastComponent(current)) return lastFailure;
    }
    for (auto level = pending.rbegin(); level != pending.rend(); ++level) {
        if (::PathIsDirectoryW(level->c_str())) continue;
        if (::PathFileExistsW(level->c_str())) return E_FAIL;
        const HRESULT hr = CreateOneLevel(level->c_str(), retries);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

HRESULT MoveFileRetry(const wchar_t* source, const wchar_t* target, int retries) {
    if (!::PathFileExistsW(source)) return HresultFromWin32(ERROR_FILE_NOT_FOUND);
    return RunWithRetries(retries, [source, target] {
        return ::MoveFileW(source, target) ? S_OK : LastErrorAsHresult();
    });
}

HRESULT ReplaceFileRetry(const wchar_t* source, const wchar_t* target, int retries) {
    if (!::PathFileExistsW(source)) return HresultFromWin32(ERROR_FILE_NOT_FOUND);
    return RunWithRetries(retries, [source, target] {
        return ::MoveFileExW(source, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
                   ? S_OK
                   : LastErrorAsHresult();
    });
}

HRESULT RenameLetterCaseRetry(const wchar_t* source, const wchar_t* target, const wchar_t* between, int retries) {
    HRESULT hr = MoveFileRetry(source, target, retries);
    if (FAILED(hr) || IsSpelledSo(target)) return hr;
    hr = MoveFileRetry(source, between, retries);
    if (FAILED(hr)) return hr;
    hr = MoveFileRetry(between, target, retries);
    // The caller hears of the failed rename; putting the item back is all
    // that is left to try, and it stays under `between` if that fails too.
    if (FAILED(hr)) (void)MoveFileRetry(between, source, retries);
    return hr;
}

HRESULT DeleteFileRetry(const wchar_t* path, int retries) {
    if (!::PathFileExistsW(path)) return S_OK;
    return RunWithRetries(retries, [path] {
        if (::DeleteFileW(path)) return S_OK;
        const HRESULT hr = LastErrorAsHresult();
        // Removed by someone else between two attempts: gone is gone.
        return IsPathGone(path) ? S_OK : hr;
    });
}
