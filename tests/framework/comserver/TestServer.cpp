// A small in-process COM server made with the framework's DLL-module
// support, for the framework's tests.
#include "TestServer.h"

#include <shlwapi.h>

#include "BrelioFramework/ComObject.h"
#include "BrelioFramework/DllModule.h"

namespace {

class CTestAdder : public ITestAdder {
public:
    virtual ~CTestAdder() = default;
    static const QITAB* GetInterfaceTable() {
        static const QITAB table[] = {
            {&__uuidof(ITestAdder), static_cast<int>(OFFSETOFCLASS(ITestAdder, CTestAdder))},
            {nullptr, 0},
        };
        return table;
    }
    HRESULT STDMETHODCALLTYPE Add(long a, long b, long* sum) override {
        if (sum == nullptr) return E_POINTER;
        *sum = a + b;
        return S_OK;
    }
};

HRESULT CreateAdder(REFIID iid, void** out) { return ATL::CComObject<CTestAdder>::CreateInstance(iid, out); }

// Not const: a test export points the second class at a script that does
// not exist, to see a failed registration undone.
ATL::ObjectMapEntry g_classes[] = {
    {&CLSID_TestAdder, CreateAdder, 102},
    {&CLSID_TestSecond, CreateAdder, 103},
};

ATL::CDllModule g_module(g_classes, 101);

}  // namespace

extern "C" {

__declspec(dllexport) HRESULT WINAPI DllCanUnloadNow() { return g_module.DllCanUnloadNow(); }
__declspec(dllexport) HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    return g_module.DllGetClassObject(clsid, iid, out);
}
__declspec(dllexport) HRESULT WINAPI DllRegisterServer() { return g_module.DllRegisterServer(); }
__declspec(dllexport) HRESULT WINAPI DllUnregisterServer() { return g_module.DllUnregisterServer(); }
__declspec(dllexport) HRESULT WINAPI DllInstall(BOOL install, LPCWSTR commandLine) {
    return g_module.DllInstall(install, commandLine);
}
__declspec(dllexport) void WINAPI TestBreakRegistration(BOOL broken) { g_classes[1].registryScript = broken ? 999 : 103; }

}
