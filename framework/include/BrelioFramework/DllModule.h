#pragma once
#include <windows.h>

#include <cstddef>

namespace ATL {

// One COM class of a server library: its class id, how to make one, and
// the registration script (a "REGISTRY" resource) that registers it.
struct ObjectMapEntry {
    const CLSID* clsid;
    HRESULT (*create)(REFIID iid, void** out);
    UINT registryScript;
};

// What an in-process COM server library exports, built from its class
// map. Scripts get "%MODULE%" replaced by the library's full path.
// Registration runs the module's own script (APPID), each class's script,
// then the type library; unregistration runs them in reverse.
class CDllModule {
public:
    template <size_t N>
    CDllModule(const ObjectMapEntry (&classes)[N], UINT moduleScript)
        : m_classes(classes), m_classCount(N), m_moduleScript(moduleScript) {}

    HRESULT DllCanUnloadNow() const;
    HRESULT DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) const;
    HRESULT DllRegisterServer(bool registerTypeLib = true) const;
    HRESULT DllUnregisterServer(bool unregisterTypeLib = true) const;
    // "user" (any case) switches to per-user registration for the rest of
    // the process; then installs, or uninstalls, undoing a failed install.
    HRESULT DllInstall(BOOL install, const wchar_t* commandLine);

    void SetPerUserRegistration(bool perUser) { m_perUser = perUser; }
    bool IsPerUserRegistration() const { return m_perUser; }

private:
    HRESULT RunScript(UINT id, bool install) const;

    const ObjectMapEntry* m_classes;
    size_t m_classCount;
    UINT m_moduleScript;
    bool m_perUser = false;
};

}  // namespace ATL
