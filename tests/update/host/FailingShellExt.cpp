// A shell extension whose registration fails, for the install's roll-back.
#include <windows.h>
#include <olectl.h>

extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE DllRegisterServer() { return SELFREG_E_CLASS; }
extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE DllUnregisterServer() { return S_OK; }

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) ::DisableThreadLibraryCalls(instance);
    return TRUE;
}
