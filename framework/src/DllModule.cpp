#include "BrelioFramework/DllModule.h"

#include <new>

#include "BrelioFramework/ComObject.h"
#include "BrelioFramework/Module.h"
#include "BrelioFramework/Registrar.h"
#include "BrelioFramework/TypeLib.h"

namespace ATL {

HRESULT CDllModule::DllCanUnloadNow() const { return ModuleLockCount() == 0 ? S_OK : S_FALSE; }

HRESULT CDllModule::DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) const {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    for (size_t i = 0; i < m_classCount; ++i) {
        if (*m_classes[i].clsid != clsid) continue;
        auto* factory = new (std::nothrow) CClassFactory(m_classes[i].create);
        if (factory == nullptr) return E_OUTOFMEMORY;
        const HRESULT hr = factory->QueryInterface(iid, out);
        factory->Release();
        return hr;
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT CDllModule::RunScript(UINT id, bool install) const {
    wchar_t path[MAX_PATH] = L"";
    const DWORD length = ::GetModuleFileNameW(GetModuleInstance(), path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return HRESULT_FROM_WIN32(ERROR_BUFFER_OVERFLOW);
    CRegistrar registrar;
    registrar.AddReplacement(L"MODULE", path);
    registrar.SetPerUser(m_perUser);
    return install ? registrar.ResourceRegister(GetModuleInstance(), id)
                   : registrar.ResourceUnregister(GetModuleInstance(), id);
}

HRESULT CDllModule::DllRegisterServer(bool registerTypeLib) const {
    HRESULT hr = RunScript(m_moduleScript, true);
    if (FAILED(hr)) return hr;
    for (size_t i = 0; i < m_classCount; ++i) {
        hr = RunScript(m_classes[i].registryScript, true);
        if (FAILED(hr)) return hr;
    }
    if (registerTypeLib) hr = RegisterModuleTypeLib(GetModuleInstance(), m_perUser);
    return hr;
}

HRESULT CDllModule::DllUnregisterServer(bool unregisterTypeLib) const {
    // Everything is attempted; the first failure is the result.
    HRESULT result = S_OK;
    if (unregisterTypeLib) result = UnregisterModuleTypeLib(GetModuleInstance(), m_perUser);
    for (size_t i = m_classCount; i > 0; --i) {
        const HRESULT hr = RunScript(m_classes[i - 1].registryScript, false);
        if (FAILED(hr) && SUCCEEDED(result)) result = hr;
    }
    const HRESULT hr = RunScript(m_moduleScript, false);
    if (FAILED(hr) && SUCCEEDED(result)) result = hr;
    return result;
}

HRESULT CDllModule::DllInstall(BOOL install, const wchar_t* commandLine) {
    // Five characters compared: "user" and its terminator, so "users" and
    // "use" do not switch.
    if (commandLine != nullptr && ::_wcsnicmp(commandLine, L"user", 5) == 0) m_perUser = true;
    if (!install) return DllUnregisterServer();
    const HRESULT hr = DllRegisterServer();
    if (FAILED(hr)) {
        DllUnregisterServer();
        return hr;
    }
    return hr;
}

}  // namespace ATL
