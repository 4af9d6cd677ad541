#include "BrelioApp/OptionsWnd.h"

#include "BrelioApp/StringIds.h"
#include "BrelioCore/StringTable.h"
#include "BrelioFramework/DeviceContext.h"
#include "BrelioServices/GlobalSettings.h"
#include "BrelioServices/Log.h"

namespace {

constexpr int kWindowSize = 640;
constexpr int kButtonWidth = 88;
constexpr int kButtonHeight = 26;
constexpr int kCancelRightGap = 104;
constexpr int kButtonBottomGap = 42;
constexpr int kOkOffset = 96;

// The program's UI font; before the program has made it, the pages' own
// dialog font, which is the same face and size.
HFONT OptionsFont(const IOptionsProgram& program, HWND page) {
    const HFONT font = program.GetFont();
    if (font != nullptr || page == nullptr) return font;
    return reinterpret_cast<HFONT>(::SendMessageW(page, WM_GETFONT, 0, 0));
}

HWND CreatePlainButton(HWND parent, const RECT& rect, UINT textId, UINT id, HFONT font) {
    const std::wstring text = LoadStringText(textId);
    HWND button = ::CreateWindowExW(0, L"BUTTON", text.c_str(),
                                    WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | BS_PUSHBUTTON,
                                    rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, parent,
                                    reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), ::GetModuleHandleW(nullptr),
                                    nullptr);
    if (button != nullptr)
        ::SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    return button;
}

void PlacePage(HWND page, const RECT& area) {
    ::SetWindowPos(page, nullptr, area.left, area.top, area.right - area.left, area.bottom - area.top,
                   SWP_NOACTIVATE | SWP_NOZORDER);
}

void ShowPage(HWND page, bool show) {
    ::SetWindowPos(page, nullptr, 0, 0, 0, 0,
                   (show ? SWP_SHOWWINDOW : SWP_HIDEWINDOW) | SWP_NOZORDER | SWP_NOMOVE | SWP_NOSIZE);
}

}  // namespace

INT_PTR COptionsWnd::DoModal(HWND owner) {
    if (Create(owner) == nullptr) return kResultCancel;
    return CModalWndBase::DoModal(owner, ::GetDesktopWindow(), SW_SHOW);
}

HWND COptionsWnd::Create(HWND owner) {
    const std::wstring title = LoadStringText(IDS_OPTIONS_TITLE);
    const RECT outer = {0, 0, kWindowSize, kWindowSize};
    using Base = ATL::CWindowImpl<COptionsWnd, ATL::CWindow, ATL::CControlWinTraits>;
    if (Base::Create(owner, outer, title.c_str(), WS_POPUP | WS_CAPTION | WS_SYSMENU, 0) == nullptr) return nullptr;

    RECT client;
    GetClientRect(&client);
    CreateButtons(client);

    const RECT pane = {client.left, client.top, client.left + kPaneWidth, client.bottom};
    m_navPane.Create(m_hWnd, pane, nullptr, ATL::CControlWinTraits::GetWndStyle(0));
    m_navPane.CreateItems(pane);

    m_pageArea = client;
    m_pageArea.left += kPaneWidth;
    m_pageArea.bottom -= kButtonBand;
    if (m_folderPage.Create(m_hWnd) != nullptr) PlacePage(m_folderPage.m_hWnd, m_pageArea);
    m_currentPage = m_folderPage.m_hWnd;
    const HFONT font = OptionsFont(m_program, m_folderPage.m_hWnd);
    for (HWND control : {m_okButton, m_cancelButton, m_navPane.m_hWnd})
        ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);

    const HICON small = static_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_PROGRAM),
                                                        IMAGE_ICON, ::GetSystemMetrics(SM_CXSMICON),
                                                        ::GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    if (small != nullptr) ::SetClassLongPtrW(m_hWnd, GCLP_HICONSM, reinterpret_cast<LONG_PTR>(small));
    return m_hWnd;
}

void COptionsWnd::CreateButtons(const RECT& client) {
    const RECT cancel = {client.right - kCancelRightGap, client.bottom - kButtonBottomGap,
                         client.right - kCancelRightGap + kButtonWidth,
                         client.bottom - kButtonBottomGap + kButtonHeight};
    m_cancelButton = CreatePlainButton(m_hWnd, cancel, IDS_BUTTON_CANCEL, IDCANCEL, m_program.GetFont());
    RECT ok = cancel;
    ::OffsetRect(&ok, -kOkOffset, 0);
    m_okButton = CreatePlainButton(m_hWnd, ok, IDS_BUTTON_OK, IDOK, m_program.GetFont());
}

void COptionsWnd::ShowFolderPage() {
    ShowPage(m_folderPage.m_hWnd, true);
    if (m_currentPage != m_folderPage.m_hWnd) ShowPage(m_currentPage, false);
    m_currentPage = m_folderPage.m_hWnd;
}

void COptionsWnd::ShowLoginPage() {
    if (m_loginPage.m_hWnd == nullptr) {
        if (m_loginPage.Create(m_hWnd) == nullptr) return;
        PlacePage(m_loginPage.m_hWnd, m_pageArea);
    }
    ShowPage(m_loginPage.m_hWnd, true);
    if (m_currentPage != m_loginPage.m_hWnd) ShowPage(m_currentPage, false);
    m_currentPage = m_loginPage.m_hWnd;
}

bool COptionsWnd::StoreFolderSettings() {
    if (!m_folderPage.Validate(false)) return false;
    const std::wstring& root = m_folderPage.GetRoot();
    const bool sameRoot = _wcsicmp(m_settings.GetRootDir().c_str(), root.c_str()) == 0;
    const bool otherSelection = m_settings.GetSyncFolders().IsDifferent(m_folderPage.GetFolders());
    if (sameRoot && !otherSelection) return true;  // nothing to store

    const HRESULT stored = m_settings.SetRootDir(root.c_str());
    if (FAILED(stored)) {
        Log(L"%s - the sync folder could not be set(0x%x).", root.c_str(), static_cast<unsigned>(stored));
        m_program.ShowMessage(m_hWnd, IDS_SYNC_FOLDER_NOT_SET, MB_ICONERROR);
        return false;
    }
    (void)m_settings.SetSyncFolders(m_folderPage.GetFolders());
    (void)NotifySettingsChange();
    if (m_settings.IsFirstRun()) {
        m_optionsResult = OPTIONS_NOTHING_TO_PASS_ON;
    } else {
        m_optionsResult = sameRoot ? OPTIONS_SELECTION_CHANGED : OPTIONS_ROOT_CHANGED;
    }
    return true;
}

void COptionsWnd::OnOK() {
    if (m_folderPage.m_hWnd != nullptr && !StoreFolderSettings()) return;  // the window stays open
    // The login settings only when the user has seen the page.
    if (m_loginPage.m_hWnd != nullptr && m_loginPage.Apply()) {
        (void)m_settings.SetAutoLogin(m_loginPage.GetKeepLogin());
        SetAutoStart(m_loginPage.GetAutoStart());
    }
    m_running = false;
    m_result = kResultOk;
}

BOOL COptionsWnd::PreTranslateMessage(MSG* msg) { return ::IsDialogMessageW(m_hWnd, msg); }

LRESULT COptionsWnd::OnPaint(UINT, WPARAM, LPARAM, BOOL&) {
    ATL::CPaintDC dc(m_hWnd);
    RECT client;
    GetClientRect(&client);
    ::FillRect(dc, &client, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
    return 0;
}

LRESULT COptionsWnd::OnSyncItem(UINT, WPARAM wParam, LPARAM lParam, BOOL&) {
    if (wParam == SYNCITEM_MAY_LEAVE_PAGE) {
        if (lParam != ID_PAGE_FOLDER) return 1;
        return m_folderPage.Validate(true) ? 1 : 0;
    }
    if (wParam == SYNCITEM_SIGN_OUT) {
        m_running = false;
        m_result = kResultCancel;
        m_program.PostToMainFrame(WM_SYNCITEM, SYNCITEM_SIGN_OUT, 0);
    }
    return 0;
}

LRESULT COptionsWnd::OnOKCommand(WORD, WORD, HWND, BOOL&) {
    OnOK();
    return 0;
}

LRESULT COptionsWnd::OnCancel(WORD, WORD, HWND, BOOL&) {
    m_running = false;
    m_result = kResultCancel;
    return 0;
}

LRESULT COptionsWnd::OnPageCommand(WORD, WORD id, HWND, BOOL&) {
    if (id == ID_PAGE_FOLDER) {
        ShowFolderPage();
    } else {
        ShowLoginPage();
    }
    return 0;
}
