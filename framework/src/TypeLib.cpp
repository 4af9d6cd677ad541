#include "BrelioFramework/TypeLib.h"

#include <oleauto.h>

#include "BrelioCore/ComPtr.h"

namespace ATL {

namespace {

// Not in every SDK's headers; oleaut32 has had them since Vista SP1.
using RegisterForUserFunction = HRESULT(WINAPI*)(ITypeLib*, OLECHAR*, OLECHAR*);
using UnregisterForUserFunction = HRESULT(WINAPI*)(REFGUID, WORD, WORD, LCID, SYSKIND);

HRESULT LoadModuleTypeLib(HINSTANCE module, wchar_t (&path)[MAX_PATH], brelio::ComPtr<ITypeLib>& library) {
    const DWORD length = ::GetModuleFileNameW(module, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return HRESULT_FROM_WIN32(ERROR_BUFFER_OVERFLOW);
    return ::LoadTypeLibEx(path, REGKIND_NONE, library.Put());
}

FARPROC OleAutFunction(const char* name) {
    const HMODULE oleaut = ::GetModuleHandleW(L"oleaut32.dll");
    return oleaut == nullptr ? nullptr : ::GetProcAddress(oleaut, name);
}

}  // namespace

HRESULT RegisterModuleTypeLib(HINSTANCE module, bool perUser) {
    wchar_t path[MAX_PATH] = L"";
    brelio::ComPtr<ITypeLib> library;
    HRESULT hr = LoadModuleTypeLib(module, path, library);
    if (FAILED(hr)) return hr;
    if (perUser) {
        auto registerForUser = reinterpret_cast<RegisterForUserFunction>(OleAutFunction("RegisterTypeLibForUser"));
        if (registerForUser == nullptr) return HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
        return registerForUser(library.Get(), path, nullptr);
    }
    return ::RegisterTypeLib(library.Get(), path, nullptr);
}

HRESULT UnregisterModuleTypeLib(HINSTANCE module, bool perUser) {
    wchar_t path[MAX_PATH] = L"";
    brelio::ComPtr<ITypeLib> library;
    HRESULT hr = LoadModuleTypeLib(module, path, library);
    if (FAILED(hr)) return hr;
    TLIBATTR* attributes = nullptr;
    hr = library->GetLibAttr(&attributes);
    if (FAILED(hr)) return hr;
    const TLIBATTR copy = *attributes;
    library->ReleaseTLibAttr(attributes);
    if (perUser) {
        auto unregisterForUser =
            reinterpret_cast<UnregisterForUserFunction>(OleAutFunction("UnRegisterTypeLibForUser"));
        if (unregisterForUser == nullptr) return HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
        hr = unregisterForUser(copy.guid, copy.wMajorVerNum, copy.wMinorVerNum, copy.lcid, copy.syskind);
    } else {
        hr = ::UnRegisterTypeLib(copy.guid, copy.wMajorVerNum, copy.wMinorVerNum, copy.lcid, copy.syskind);
    }
    // A library that is not registered is already where unregistration leads.
    if (hr == TYPE_E_REGISTRYACCESS || hr == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)) return S_OK;
    return hr;
}

}  // namespace ATL
