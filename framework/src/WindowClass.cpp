#include "BrelioFramework/WindowClass.h"

#include <cwchar>

#include "BrelioFramework/Module.h"
#include "BrelioFramework/WindowImplRoot.h"

namespace ATL {

namespace {
SRWLOCK g_registerLock = SRWLOCK_INIT;
thread_local void* t_objectBeingCreated = nullptr;
}  // namespace

ATOM CWndClassInfo::Register(WNDPROC startProc) {
    ::AcquireSRWLockExclusive(&g_registerLock);
    if (atom == 0) {
        const HINSTANCE instance = GetModuleInstance();
        WNDCLASSEXW wc = {};
        wc.cbSize = sizeof(wc);
        if (superclassOf != nullptr) {
            // A superclass takes over everything of the existing class but
            // the name and the procedure; the old procedure runs underneath.
            if (!::GetClassInfoExW(nullptr, superclassOf, &wc) && !::GetClassInfoExW(instance, superclassOf, &wc)) {
                ::ReleaseSRWLockExclusive(&g_registerLock);
                return 0;
            }
            superProc = wc.lpfnWndProc;
        } else {
            wc.style = style;
            wc.hbrBackground = background;
            wc.hCursor = cursor != nullptr ? ::LoadCursorW(nullptr, cursor) : nullptr;
        }
        wc.lpfnWndProc = startProc;
        wc.hInstance = instance;
        if (name == nullptr) {
            std::swprintf(generatedName, std::size(generatedName), L"Brelio:%p", static_cast<void*>(this));
            wc.lpszClassName = generatedName;
        } else {
            wc.lpszClassName = name;
        }
        atom = ::RegisterClassExW(&wc);
        if (atom == 0 && ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS) {
            // Another window class of this module took the name first; its
            // start procedure belongs to another object type.
            atom = 0;
        }
    }
    const ATOM result = atom;
    ::ReleaseSRWLockExclusive(&g_registerLock);
    return result;
}

namespace detail {

const wchar_t* WindowObjectProperty() { return L"Brelio.WindowObject"; }

void SetObjectBeingCreated(void* object) { t_objectBeingCreated = object; }

void* TakeObjectBeingCreated() {
    void* object = t_objectBeingCreated;
    t_objectBeingCreated = nullptr;
    return object;
}

}  // namespace detail

}  // namespace ATL
