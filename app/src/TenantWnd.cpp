#include "BrelioApp/TenantWnd.h"

#include "BrelioApp/DriveApp.h"
#include "BrelioApp/PngBitmap.h"
#include "BrelioApp/ResourceIds.h"
#include "BrelioApp/StringIds.h"
#include "BrelioApp/UiFont.h"
#include "BrelioCore/JXGraphics.h"
#include "BrelioCore/StringTable.h"
#include "BrelioFramework/DeviceContext.h"
#include "BrelioFramework/Module.h"
#include "BrelioServices/ApiRecords.h"
#include "BrelioServices/DriveApi.h"

namespace {
constexpr COLORREF kAccent = 0xC45747;
constexpr int kFormWidth = 360;
}  // namespace

CTenantWnd::~CTenantWnd() { RemoveAllControls(); }

INT_PTR CTenantWnd::DoModal(HWND owner) {
    if (Create(owner) == nullptr) return m_result;
    if (CDriveApp::GetInstance()->GetSettings().IsFirstRun()) ::SetForegroundWindow(m_hWnd);
    return CModalWndBase::DoModal(owner, ::GetDesktopWindow(), SW_SHOW);
}

HWND CTenantWnd::Create(HWND owner) {
    RECT frame = {0, 0, 700, 600};
    if (ATL::CWindowImpl<CTenantWnd, ATL::CWindow, ATL::CControlWinTraits>::Create(
            owner, frame, LoadStringText(IDS_TENANT_TITLE).c_str(), WS_POPUP | WS_CAPTION | WS_SYSMENU) == nullptr) {
        return nullptr;
    }
    {
        ATL::CClientDC dc(m_hWnd);
        m_buttonFont = CreateUiPointFont(dc, 100, FW_BOLD);
        m_editFont = CreateUiPointFont(dc, 140, FW_BOLD);
    }
    PngBitmap logo;
    if (SUCCEEDED(LoadPngBitmap(ATL::GetModuleInstance(), IDP_LOGO, L"PNG", 0xFFFFFFFF, logo))) {
        m_logo = std::move(logo.bitmap);
        m_logoWidth = static_cast<int>(logo.width);
        m_logoHeight = static_cast<int>(logo.height);
    }
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(LoadProgramIcon(true)));
    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(LoadProgramIcon(false)));

    RECT client;
    GetClientRect(&client);
    client.left = 0;
    const int x = (client.right - client.left - kFormWidth) / 2;
    const int y = client.top + 180 + (m_logo ? m_logoHeight : 0);
    HWND edit = ::CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN |
                                  WS_TABSTOP | ES_AUTOHSCROLL, x, y, 240, 28, m_hWnd,
                                  reinterpret_cast<HMENU>(static_cast<UINT_PTR>(kEditId)), ATL::GetModuleInstance(),
                                  nullptr);
    if (edit != nullptr) {
        ::SendMessageW(edit, WM_SETFONT, reinterpret_cast<WPARAM>(m_editFont.Get()), FALSE);
        ::SetFocus(edit);
    }
    AddControl(&m_nextButton);
    const RECT buttonRect = {x, y + 56, x + kFormWidth, y + 56 + 40};
    if (m_nextButton.Create(m_hWnd, buttonRect, LoadStringText(IDS_TENANT_NEXT).c_str(), IDOK) != nullptr) {
        m_nextButton.EnableWindow(FALSE);
        m_nextButton.SetCaptionFont(m_buttonFont.Get());
        m_nextButton.SetCaptionColor(0xFFFFFF);
        m_nextButton.SetColors(kAccent, kAccent, 0xC8C0BB);
    }
    return m_hWnd;
}

LRESULT CTenantWnd::OnPaint(UINT, WPARAM, LPARAM, BOOL&) {
    ATL::CPaintDC paint(m_hWnd);
    CJXGraphics graphics(paint);
    RECT client;
    GetClientRect(&client);
    graphics.FillRectangle(client, 0xFFFFFF);
    const int width = client.right - client.left;
    const int logoTop = client.top + 132;
    if (m_logo) graphics.DrawBitmap(m_logo.Get(), client.left + (width - m_logoWidth) / 2, logoTop);
    const int textTop = logoTop + (m_logo ? m_logoHeight : 0) + 48;
    const int x = client.left + (width - kFormWidth) / 2;
    graphics.SelectFont(m_editFont.Get());
    graphics.SetTextColor(0x333333);
    graphics.DrawString(LoadStringText(IDS_TENANT_DOMAIN_SUFFIX).c_str(), x + 240, textTop + 1);
    const RECT underline = {x, textTop + 30, x + kFormWidth, textTop + 31};
    graphics.FillRectangle(underline, 0xE1DBD6);
    return 0;
}

LRESULT CTenantWnd::OnEditColor(UINT, WPARAM wParam, LPARAM lParam, BOOL& handled) {
    if (::GetDlgCtrlID(reinterpret_cast<HWND>(lParam)) != static_cast<int>(kEditId)) {
        handled = FALSE;
        return 0;
    }
    ::SetTextColor(reinterpret_cast<HDC>(wParam), kAccent);
    return reinterpret_cast<LRESULT>(::GetStockObject(WHITE_BRUSH));
}

LRESULT CTenantWnd::OnDomainChange(WORD, WORD, HWND edit, BOOL& handled) {
    const int length = ::GetWindowTextLengthW(edit);
    m_nextButton.EnableWindow(length >= 1 && length <= kMaxDomainLength);
    handled = FALSE;  // default processing goes on
    return 0;
}

LRESULT CTenantWnd::OnNext(WORD, WORD, HWND, BOOL&) {
    if (Validate()) {
        m_result = kResultOk;
        m_running = false;
    } else {
        ::SetFocus(GetDlgItem(kEditId));
    }
    return 0;
}

bool CTenantWnd::Validate() {
    HWND edit = GetDlgItem(kEditId);
    const int length = ::GetWindowTextLengthW(edit);
    if (length <= 0) return false;
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(::GetWindowTextW(edit, text.data(), length + 1)));
    if (text.empty()) return false;
    // A text that is no DNS label is refused by the lookup itself, before
    // any address is built from it. A refused lookup (401, 403) still
    // parses its body, so a tenant id alone does not accept the text.
    TenantInfo tenant;
    RequestStatus status;
    const ApiErrorCode found = GetTenant(status, text.c_str(), tenant);
    if (found >= 0 && !tenant.tenantId.empty()) {
        m_tenantDomain = std::move(text);
        m_tenantId = tenant.tenantId;
        return true;
    }
    CDriveApp::GetInstance()->ShowMessage(m_hWnd, IDS_WRONG_TENANT, MB_ICONERROR);
    return false;
}
