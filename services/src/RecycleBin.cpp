#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <wrl/client.h>

#include <string>

#include "BrelioServices/FileOperations.h"
#include "FileOperationSupport.h"

using Microsoft::WRL::ComPtr;

namespace {

// FOF_ALLOWUNDO is what sends the item to the recycle bin rather than
// deleting it for good.
constexpr FILEOP_FLAGS kRecycleFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_ALLOWUNDO | FOF_NOERRORUI;

HRESULT RecycleWithFileOperation(const wchar_t* path) {
    ComPtr<IFileOperation> operation;
    HRESULT hr = ::CoCreateInstance(CLSID_FileOperation, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&operation));
    if (FAILED(hr)) return hr;
    ComPtr<IShellItem> item;
    hr = ::SHCreateItemFromParsingName(path, nullptr, IID_PPV_ARGS(&item));
    if (FAILED(hr)) return hr;
    // Without these flags the delete below would be final: stop instead.
    hr = operation->SetOperationFlags(kRecycleFlags);
    if (FAILED(hr)) return hr;
    hr = operation->DeleteItem(item.Get(), nullptr);
    if (FAILED(hr)) return hr;
    hr = operation->PerformOperations();
    if (FAILED(hr)) return hr;
    BOOL aborted = FALSE;
    if (SUCCEEDED(operation->GetAnyOperationsAborted(&aborted)) && aborted) return E_ABORT;
    return S_OK;
}

HRESULT RecycleWithShFileOperation(const wchar_t* path) {
    std::wstring from(path);
    from.push_back(L'\0');  // a list of names, ended by an empty one
    SHFILEOPSTRUCTW operation = {};
    operation.wFunc = FO_DELETE;
    operation.pFrom = from.c_str();
    operation.fFlags = kRecycleFlags;
    const int result = ::SHFileOperationW(&operation);
    if (result != 0) return HresultFromWin32(result);
    return operation.fAnyOperationsAborted ? E_ABORT : S_OK;
}

// One attempt, with a file operation object of its own: an object whose
// operation failed is not asked again.
HRESULT RecycleOnce(const wchar_t* path) {
    const HRESULT hr = RecycleWithFileOperation(path);
    // Wine hands out the object but implements none of its methods.
    if (hr == E_NOTIMPL) return RecycleWithShFileOperation(path);
    return hr;
}

// Success is judged by the result on disk, not by what the shell claims:
// an item that is still there was not recycled, and one that vanished
// (also by another hand) is what the caller wanted.
HRESULT RecycleAndCheck(const wchar_t* path) {
    const HRESULT hr = RecycleOnce(path);
    if (IsPathGone(path)) return S_OK;
    return FAILED(hr) ? hr : E_FAIL;
}

}  // namespace

HRESULT RecycleDirectory(const wchar_t* path) {
    if (!::PathIsDirectoryW(path)) return S_OK;
    return RecycleAndCheck(path);
}

HRESULT RecycleFile(const wchar_t* path, int retries) {
    if (!::PathFileExistsW(path)) return S_OK;
    return RunWithRetries(retries, [path] { return RecycleAndCheck(path); });
}
