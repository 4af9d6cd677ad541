#pragma once
#include <windows.h>

#include <functional>

#include "BrelioApp/ModalWndBase.h"
#include "BrelioFramework/WindowImpl.h"
#include "OwnerWindow.h"

namespace brelio::test {

// A modal window whose behaviour comes from the test: `onStep` runs for
// each kStep message posted to it.
class CScriptedModal : public ATL::CWindowImpl<CScriptedModal, ATL::CWindow,
                                               ATL::CWinTraits<WS_POPUP | WS_CAPTION | WS_SYSMENU, 0>>,
                       public CModalWndBase {
public:
    static constexpr UINT kStep = WM_APP + 1;

    DECLARE_WND_CLASS(L"BrelioTest.ScriptedModal")
    BEGIN_MSG_MAP(CScriptedModal)
        MESSAGE_HANDLER(WM_CLOSE, OnClose)
        MESSAGE_HANDLER(kStep, OnStep)
    END_MSG_MAP()

    HWND Create(HWND owner) {
        RECT rect = {0, 0, 300, 200};
        return ATL::CWindowImpl<CScriptedModal, ATL::CWindow,
                                ATL::CWinTraits<WS_POPUP | WS_CAPTION | WS_SYSMENU, 0>>::Create(owner, rect,
                                                                                               L"modal");
    }
    BOOL PreTranslateMessage(MSG*) override { return FALSE; }
    HWND GetHwnd() const override { return m_hWnd; }

    void Accept() {
        m_result = kResultOk;
        m_running = false;
    }
    void SetResultOnly(INT_PTR result) { m_result = result; }

    std::function<void(CScriptedModal&)> onStep;

private:
    LRESULT OnStep(UINT, WPARAM, LPARAM, BOOL&) {
        if (onStep) onStep(*this);
        return 0;
    }
};

}  // namespace brelio::test
