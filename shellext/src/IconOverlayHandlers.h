#pragma once
#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>

#include "BrelioCore/ErrorFlow.h"
#include "ExtensionStartup.h"
#include "OverlayStatusProvider.h"
#include "ShellExtIds.h"

// One of the three overlay handlers that Explorer asks about every item it
// shows. All three answer alike; each asks the overlay library for its own
// overlay id and names its own interface.
template <int OverlayId, typename OwnInterface>
class CIconOverlayHandler : public IShellIconOverlayIdentifier, public OwnInterface {
public:
    CIconOverlayHandler() : m_provider(OverlayId) { InitializeExtensionOnce(); }
    virtual ~CIconOverlayHandler() = default;

    static const QITAB* GetInterfaceTable() {
        static const QITAB table[] = {
            {&IID_IShellIconOverlayIdentifier,
             static_cast<int>(OFFSETOFCLASS(IShellIconOverlayIdentifier, CIconOverlayHandler))},
            {&__uuidof(OwnInterface), static_cast<int>(OFFSETOFCLASS(OwnInterface, CIconOverlayHandler))},
            {nullptr, 0},
        };
        return table;
    }

    STDMETHODIMP IsMemberOf(LPCWSTR path, DWORD attributes) override {
        return brelio::GuardEntry(__func__, E_UNEXPECTED, [&] { return m_provider.IsMemberOf(path, attributes); });
    }
    STDMETHODIMP GetOverlayInfo(LPWSTR iconFile, int capacity, int* index, DWORD* flags) override {
        return brelio::GuardEntry(__func__, E_UNEXPECTED,
                                  [&] { return m_provider.GetOverlayInfo(iconFile, capacity, index, flags); });
    }
    STDMETHODIMP GetPriority(int* priority) override {
        if (priority == nullptr) return E_POINTER;
        *priority = 0;
        return S_OK;
    }

private:
    COverlayStatusProvider m_provider;
};

// The second handler shows the overlay library's third overlay, the third
// its second: the order of their names decides which Explorer prefers.
class CIconOverlay1Handler : public CIconOverlayHandler<1, IIconOverlay1Handler> {};
class CIconOverlay2Handler : public CIconOverlayHandler<3, IIconOverlay2Handler> {};
class CIconOverlay3Handler : public CIconOverlayHandler<2, IIconOverlay3Handler> {};
