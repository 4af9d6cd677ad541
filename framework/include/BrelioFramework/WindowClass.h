#pragma once
#include <windows.h>

namespace ATL {

// How a framework window class is registered: its own class (name, styles,
// background, cursor, icons) or a superclass of an existing one. A NULL
// name gets a generated one. Registration happens once, on first creation.
struct CWndClassInfo {
    LPCWSTR name = nullptr;
    UINT style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
    HBRUSH background = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    LPCWSTR cursor = IDC_ARROW;
    LPCWSTR superclassOf = nullptr;  // an existing class whose procedure runs underneath

    ATOM atom = 0;
    WNDPROC superProc = nullptr;  // the existing class's procedure, for superclasses
    wchar_t generatedName[40] = L"";

    // Registers on first use; 0 on failure (last error set).
    ATOM Register(WNDPROC startProc);
};

}  // namespace ATL

// Inside a window class: the class it registers.
#define DECLARE_WND_CLASS(className)                     \
    static ATL::CWndClassInfo& GetWndClassInfo() {       \
        static ATL::CWndClassInfo info{className};       \
        return info;                                     \
    }
#define DECLARE_WND_CLASS_EX(className, classStyle, backgroundColor)                                   \
    static ATL::CWndClassInfo& GetWndClassInfo() {                                                     \
        static ATL::CWndClassInfo info{className, classStyle,                                          \
                                       reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(backgroundColor) + 1)}; \
        return info;                                                                                   \
    }
#define DECLARE_WND_SUPERCLASS(className, existingClass)                                   \
    static ATL::CWndClassInfo& GetWndClassInfo() {                                         \
        static ATL::CWndClassInfo info{className, 0, nullptr, nullptr, existingClass};     \
        return info;                                                                       \
    }
