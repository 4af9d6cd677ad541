#pragma once
#include <windows.h>

#include <string>

#include "BrelioApp/CustomUI.h"
#include "BrelioApp/JXButton.h"
#include "BrelioApp/ModalWndBase.h"
#include "BrelioCore/UniqueHandle.h"
#include "BrelioFramework/MessageMap.h"
#include "BrelioFramework/WindowImpl.h"

// The first sign-in window: asks for the organisation's tenant domain and
// accepts it only when the service knows it.
class CTenantWnd : public ATL::CWindowImpl<CTenantWnd, ATL::CWindow, ATL::CControlWinTraits>,
                   public CModalWndBase,
                   public CJXCustomUIHandler {
public:
    static constexpr UINT kEditId = 109;
    static constexpr int kMaxDomainLength = 40;

    DECLARE_WND_CLASS(L"BrelioDrive.TenantWnd")

    CTenantWnd() = default;
    ~CTenantWnd() override;

    // 1 accepted, 2 closed.
    INT_PTR DoModal(HWND owner);
    HWND Create(HWND owner);

    // As typed, once accepted.
    const std::wstring& GetTenantDomain() const { return m_tenantDomain; }
    const std::string& GetTenantId() const { return m_tenantId; }

    BOOL PreTranslateMessage(MSG* msg) override { return ::IsDialogMessageW(m_hWnd, msg); }
    HWND GetHwnd() const override { return m_hWnd; }

    BEGIN_MSG_MAP(CTenantWnd)
        MESSAGE_HANDLER(WM_PAINT, OnPaint)
        MESSAGE_HANDLER(WM_CLOSE, OnClose)
        MESSAGE_HANDLER(WM_CTLCOLOREDIT, OnEditColor)
        COMMAND_HANDLER(kEditId, EN_CHANGE, OnDomainChange)
        COMMAND_ID_HANDLER(IDOK, OnNext)
        CHAIN_MSG_MAP(CJXCustomUIHandler)
    END_MSG_MAP()

private:
    LRESULT OnPaint(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnEditColor(UINT, WPARAM wParam, LPARAM lParam, BOOL& handled);
    LRESULT OnDomainChange(WORD, WORD, HWND, BOOL& handled);
    LRESULT OnNext(WORD, WORD, HWND, BOOL&);
    // Looks the typed text up; true (and kept) when the service knows it.
    bool Validate();

    std::wstring m_tenantDomain;
    std::string m_tenantId;
    brelio::UniqueBitmap m_logo;
    int m_logoWidth = 0;
    int m_logoHeight = 0;
    brelio::UniqueFont m_buttonFont;  // 10 point bold
    brelio::UniqueFont m_editFont;    // 14 point bold
    CJXImageButton m_nextButton;
};
