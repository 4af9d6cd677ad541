#include "BrelioApp/LinksShortcut.h"

#include <shlobj.h>
#include <shlwapi.h>

#include <string>

#include "BrelioCore/ComPtr.h"
#include "BrelioCore/StringTable.h"
#include "BrelioCore/UniqueHandle.h"
#include "BrelioServices/PathHelpers.h"

using brelio::ComPtr;

namespace {

HRESULT ParseFolder(LPCWSTR folder, brelio::UniqueCoTaskMem<ITEMIDLIST>& items) {
    ComPtr<IShellFolder> desktop;
    HRESULT hr = ::SHGetDesktopFolder(desktop.Put());
    if (FAILED(hr)) return hr;
    std::wstring text(folder);  // ParseDisplayName takes a writable text
    ITEMIDLIST* parsed = nullptr;
    hr = desktop->ParseDisplayName(nullptr, nullptr, text.data(), nullptr, &parsed, nullptr);
    items.Reset(parsed);
    return hr;
}

}  // namespace

HRESULT CreateLinksShortcut(LPCWSTR name, LPCWSTR targetFolder) {
    if (targetFolder == nullptr || targetFolder[0] == L'\0') return E_INVALIDARG;
    std::wstring fileName;
    if (name != nullptr && IS_INTRESOURCE(name)) {
        fileName = LoadStringText(static_cast<UINT>(reinterpret_cast<UINT_PTR>(name)));
    } else if (name != nullptr) {
        fileName = name;
    }
    // Without a name the shortcut would land beside the Links folder.
    if (fileName.empty()) return E_INVALIDARG;

    std::wstring links;
    HRESULT hr = GetKnownFolder(FOLDERID_Links, links);
    if (FAILED(hr)) return hr;
    std::wstring path;
    if (!JoinPath(links.c_str(), fileName.c_str(), path)) return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
    if (*::PathFindExtensionW(path.c_str()) == L'\0') path += L".lnk";
    if (path.size() >= MAX_PATH) return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
    if (!::PathIsDirectoryW(links.c_str())) return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);

    brelio::UniqueCoTaskMem<ITEMIDLIST> items;
    hr = ParseFolder(targetFolder, items);
    if (FAILED(hr)) return hr;

    ComPtr<IShellLinkW> link;
    hr = ::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.PutVoid());
    if (FAILED(hr)) return hr;
    hr = link->SetIDList(items.Get());
    if (FAILED(hr)) return hr;
    ComPtr<IPersistFile> file;
    hr = link.As(IID_IPersistFile, file.PutVoid());
    if (FAILED(hr)) return hr;
    return file->Save(path.c_str(), FALSE);
}
