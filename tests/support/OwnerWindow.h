#pragma once
#include <windows.h>

#include "BrelioFramework/MessageMap.h"
#include "BrelioFramework/WindowImpl.h"

namespace brelio::test {

// A top-level window that does nothing: an owner for modal windows.
class COwnerWindow : public ATL::CWindowImpl<COwnerWindow, ATL::CWindow, ATL::CWinTraits<WS_POPUP | WS_CAPTION, 0>> {
public:
    DECLARE_WND_CLASS(L"BrelioTest.Owner")
    BEGIN_MSG_MAP(COwnerWindow)
    END_MSG_MAP()

    HWND Create() {
        RECT rect = {10, 10, 210, 110};
        return ATL::CWindowImpl<COwnerWindow, ATL::CWindow, ATL::CWinTraits<WS_POPUP | WS_CAPTION, 0>>::Create(
            nullptr, rect, L"owner");
    }
    ~COwnerWindow() override {
        if (m_hWnd != nullptr) DestroyWindow();
    }
};

}  // namespace brelio::test
