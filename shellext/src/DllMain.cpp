// BrelioShellExt: the in-process COM server of the three overlay handlers.
#include <windows.h>

#include "BrelioCore/ErrorFlow.h"
#include "BrelioFramework/ComObject.h"
#include "BrelioFramework/DllModule.h"
#include "IconOverlayHandlers.h"
#include "ShellExtIds.h"

namespace {

template <typename Handler>
HRESULT CreateHandler(REFIID iid, void** out) {
    return ATL::CComObject<Handler>::CreateInstance(iid, out);
}

const ATL::ObjectMapEntry g_classes[] = {
    {&CLSID_IconOverlay1Handler, CreateHandler<CIconOverlay1Handler>, kIconOverlay1Script},
    {&CLSID_IconOverlay2Handler, CreateHandler<CIconOverlay2Handler>, kIconOverlay2Script},
    {&CLSID_IconOverlay3Handler, CreateHandler<CIconOverlay3Handler>, kIconOverlay3Script},
};

// The library's one module object: its class map and its APPID script.
class CBrelioShellExtModule : public ATL::CDllModule {
public:
    CBrelioShellExtModule() : CDllModule(g_classes, kModuleScript) {}
};

CBrelioShellExtModule g_module;

}  // namespace

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) ::DisableThreadLibraryCalls(instance);
    return TRUE;
}

using brelio::GuardEntry;

extern "C" {

__declspec(dllexport) HRESULT WINAPI DllCanUnloadNow() {
    return GuardEntry(__func__, E_UNEXPECTED, [] { return g_module.DllCanUnloadNow(); });
}
__declspec(dllexport) HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    return GuardEntry(__func__, E_UNEXPECTED, [&] { return g_module.DllGetClassObject(clsid, iid, out); });
}
__declspec(dllexport) HRESULT WINAPI DllRegisterServer() {
    return GuardEntry(__func__, E_UNEXPECTED, [] { return g_module.DllRegisterServer(); });
}
__declspec(dllexport) HRESULT WINAPI DllUnregisterServer() {
    return GuardEntry(__func__, E_UNEXPECTED, [] { return g_module.DllUnregisterServer(); });
}
__declspec(dllexport) HRESULT WINAPI DllInstall(BOOL install, LPCWSTR commandLine) {
    return GuardEntry(__func__, E_UNEXPECTED, [&] { return g_module.DllInstall(install, commandLine); });
}

}
