#include "BrelioApp/MainFrame.h"

#include <shellapi.h>

#include "BrelioApp/AboutDlg.h"
#include "BrelioApp/DriveApp.h"
#include "BrelioApp/ModalWndBase.h"
#include "BrelioApp/ResourceIds.h"
#include "BrelioApp/SignInWindows.h"
#include "BrelioApp/StringIds.h"
#include "BrelioApp/UpdateLibrary.h"
#include "BrelioCore/JXShell.h"
#include "BrelioFramework/AppModule.h"
#include "BrelioServices/PostCommand.h"
#include "BrelioServices/SessionError.h"
#include "BrelioSync/SyncItem.h"
#include "BrelioSync/SyncManager.h"

// {5B8E2C61-0F3A-4D7B-9A41-2E6C8D1F7B35}
const GUID CMainFrame::kTrayIconId = {0x5B8E2C61, 0x0F3A, 0x4D7B, {0x9A, 0x41, 0x2E, 0x6C, 0x8D, 0x1F, 0x7B, 0x35}};

CMainFrame::CMainFrame() = default;

UINT CMainFrame::TaskbarCreatedMessage() {
    static const UINT message = ::RegisterWindowMessageW(L"TaskbarCreated");
    return message;
}

LRESULT CMainFrame::OnCreate(UINT, WPARAM, LPARAM, BOOL& handled) {
    CDriveApp* app = CDriveApp::GetInstance();
    RECT client = {};
    GetClientRect(&client);
    m_hWndClient = m_syncView.Create(m_hWnd, client);
    if (m_hWndClient == nullptr) {
        // Without its panel the frame has nothing to show and the engine
        // nothing to report to: the frame is not made.
        handled = TRUE;
        return -1;
    }
    if (CSyncManager* manager = app->GetSyncManager()) manager->SetNotifyView(&m_syncView);
    if (WTL::CMessageLoop* loop = WTL::GetAppModule().GetMessageLoop()) {
        loop->AddMessageFilter(this);
        loop->AddIdleHandler(this);
    }
    const HINSTANCE instance = ATL::GetModuleInstance();
    m_icons[0].Load(instance, IDI_PROGRAM, CJXIcon::Small);
    m_icons[1].Load(instance, IDI_PROGRAM, CJXIcon::Small);
    ::SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(static_cast<HICON>(m_icons[0])));
    ::SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(app->GetIcon(false)));
    AddTrayIcon();
    m_updateTimerId = SetTimer(kUpdateTimerId, kUpdateInterval);
    app->SetFrameWindow(this);
    app->SetMainFrame(&m_view);
    handled = FALSE;
    return 0;
}

void CMainFrame::AddTrayIcon() {
    // An icon left by an earlier run that ended without removing it.
    CJXShell::NotifyIcon(NIM_DELETE, kTrayIconId, nullptr, m_hWnd, 0, nullptr, nullptr);
    if (!CJXShell::NotifyIcon(NIM_ADD, kTrayIconId, ATL::GetModuleInstance(), m_hWnd, WM_TRAYICON,
                              MAKEINTRESOURCEW(IDS_TRAY_TIP), m_icons[0]))
        return;
    // The callback then names the event in the low word of lParam and
    // sends WM_CONTEXTMENU for a right click or the menu key.
    NOTIFYICONDATAW version = {};
    version.cbSize = sizeof(version);
    version.hWnd = m_hWnd;
    version.uID = 1;
    version.uFlags = NIF_GUID;
    version.guidItem = kTrayIconId;
    version.uVersion = NOTIFYICON_VERSION_4;
    ::Shell_NotifyIconW(NIM_SETVERSION, &version);
}

LRESULT CMainFrame::OnDestroy(UINT, WPARAM, LPARAM, BOOL& handled) {
    CDriveApp* app = CDriveApp::GetInstance();
    // The workers post to the panel, which goes with this object: they
    // stop first, and from now on nothing posts to the frame.
    (void)app->StopSyncThreads();
    if (CSyncManager* manager = app->GetSyncManager()) manager->SetNotifyView(nullptr);
    app->SetMainFrame(nullptr);
    CJXShell::NotifyIcon(NIM_DELETE, kTrayIconId, nullptr, m_hWnd, 0, nullptr, nullptr);
    if (WTL::CMessageLoop* loop = WTL::GetAppModule().GetMessageLoop()) {
        loop->RemoveMessageFilter(this);
        loop->RemoveIdleHandler(this);
    }
    if (m_updateTimerId != 0) {
        KillTimer(m_updateTimerId);
        m_updateTimerId = 0;
    }
    ::PostQuitMessage(1);
    handled = TRUE;
    return 0;
}

void CMainFrame::OnFinalMessage(HWND) {
    CDriveApp* app = CDriveApp::GetInstance();
    if (app->GetFrameWindow() == this) app->SetFrameWindow(nullptr);
    if (m_ownedByWindow) delete this;
}

LRESULT CMainFrame::OnClose(UINT, WPARAM, LPARAM, BOOL&) {
    ShowWindow(SW_HIDE);
    return 0;
}

LRESULT CMainFrame::OnActivateApp(UINT, WPARAM active, LPARAM, BOOL& handled) {
    if (!active) {
        ::ShowOwnedPopups(m_hWnd, FALSE);
        ShowWindow(SW_HIDE);
    }
    handled = FALSE;
    return 0;
}

BOOL CMainFrame::PreTranslateMessage(MSG* msg) {
    if (FrameBase::PreTranslateMessage(msg)) return TRUE;
    return m_syncView.PreTranslateMessage(msg);
}

LRESULT CMainFrame::OnOptions(WORD, WORD, HWND, BOOL&) {
    int changes = 0;
    INT_PTR result = 0;
    m_modalState = kModalOpen;
    {
        CDriveApp::CNestedLoop options;
        result = RunOptionsWindow(m_hWnd, changes);
    }
    m_modalState = 0;
    if (result == CModalWndBase::kResultCancel) return 0;
    if (changes == OPTIONS_ROOT_CHANGED || changes == OPTIONS_SELECTION_CHANGED)
        PostMessage(WM_SYNCITEM, SYNCITEM_SETTINGS, changes == OPTIONS_ROOT_CHANGED ? 1 : 0);
    return 0;
}

namespace {

// A window of this thread that `owner` owns and that is on screen; null
// when there is none.
HWND VisibleOwnedWindow(HWND owner) {
    struct Search {
        HWND owner;
        HWND found;
    } search{owner, nullptr};
    ::EnumThreadWindows(
        ::GetCurrentThreadId(),
        [](HWND window, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            if (::GetWindow(window, GW_OWNER) != s->owner || !::IsWindowVisible(window)) return TRUE;
            s->found = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The window the user can act on: a modal window keeps its owner disabled
// while it is up (the sign-in windows, the options window, a message box,
// and one such over another), so it is the last of that chain.
HWND WindowUp(HWND frame) {
    HWND up = frame;
    for (int depth = 0; depth < 8 && !::IsWindowEnabled(up); ++depth) {
        const HWND owned = VisibleOwnedWindow(up);
        if (owned == nullptr) break;
        up = owned;
    }
    return up;
}

}  // namespace

LRESULT CMainFrame::OnOpen(WORD, WORD, HWND, BOOL&) {
    const bool minimised = ::IsIconic(m_hWnd) != FALSE;
    if (!IsWindowVisible() || minimised) {
        if ((m_modalState & kModalKeepHidden) == 0) ShowWindow(minimised ? SW_RESTORE : SW_SHOW);
        ::ShowOwnedPopups(m_hWnd, TRUE);
    }
    const HWND up = WindowUp(m_hWnd);
    if (::IsWindowVisible(up) && ::GetForegroundWindow() != up) ::SetForegroundWindow(up);
    return 0;
}

LRESULT CMainFrame::OnSyncCommand(WORD, WORD id, HWND, BOOL&) {
    if (CSyncManager* manager = CDriveApp::GetInstance()->GetSyncManager())
        manager->RequestSync(id == kFullSyncCommand);
    return 0;
}

LRESULT CMainFrame::OnNothing(WORD, WORD, HWND, BOOL&) { return 0; }

LRESULT CMainFrame::OnAppAbout(WORD, WORD, HWND, BOOL&) {
    CDriveApp::CNestedLoop about;
    CAboutDlg dialog;
    dialog.DoModal(::GetActiveWindow());
    return 0;
}

LRESULT CMainFrame::OnAppExit(WORD, WORD, HWND, BOOL&) {
    CDriveApp* app = CDriveApp::GetInstance();
    if (app->InNestedLoop()) {
        // Destroyed now, the frame would go from under the loop that is
        // running, and that loop could swallow the quit message.
        app->Defer(CDriveApp::kDeferExit);
        return 0;
    }
    DestroyWindow();
    return 0;
}

LRESULT CMainFrame::OnTimer(UINT, WPARAM id, LPARAM, BOOL& handled) {
    if (id != kUpdateTimerId) {
        handled = FALSE;
        return 0;
    }
    CheckForUpdate();
    return 0;
}

void CMainFrame::CheckForUpdate() {
    if (m_updateCheckBusy) return;
    CDriveApp* app = CDriveApp::GetInstance();
    if (app->InNestedLoop()) {
        app->Defer(CDriveApp::kDeferUpdateCheck);
        return;
    }
    const HMODULE library = LoadUpdateLibrary();
    int result = -1;
    m_updateCheckBusy = true;
    {
        // The check may show its own windows and pump messages.
        CDriveApp::CNestedLoop check;
        result = CallCheckUpdate(library, kCheckUpdatePeriodic);
    }
    m_updateCheckBusy = false;
    if (result == 0) PostCommand(m_hWnd, kExitCommand);
    FreeUpdateLibrary(library);
}

LRESULT CMainFrame::OnSyncItem(UINT, WPARAM wParam, LPARAM lParam, BOOL&) {
    if (wParam == SYNCITEM_SIGN_OUT) {
        const DWORD code = static_cast<DWORD>(lParam);
        if (IsSessionError(static_cast<HRESULT>(code))) {
            if (m_sessionErrorPending) return 0;
            m_sessionErrorPending = true;
        }
        m_lastSignOutCode = code;
        m_syncView.Clear();
        CDriveApp::GetInstance()->Logout();
    } else if (wParam == SYNCITEM_SETTINGS) {
        CDriveApp::GetInstance()->ResetLocalStorage(lParam == 1);
    }
    return 0;
}

void CMainFrame::ShowSessionErrorMessage() {
    if (IsSessionError(static_cast<HRESULT>(m_lastSignOutCode)))
        CDriveApp::GetInstance()->ShowMessage(m_hWnd, IDS_DRIVE_SERVICE_DISABLED, MB_ICONEXCLAMATION);
    m_lastSignOutCode = 0;
    m_sessionErrorPending = false;
}

LRESULT CMainFrame::OnTrayIcon(UINT, WPARAM, LPARAM lParam, BOOL&) {
    switch (LOWORD(lParam)) {
    case WM_CONTEXTMENU:
        ShowTrayMenu();
        break;
    case WM_LBUTTONDOWN:
        PostCommand(m_hWnd, kOpenCommand);
        break;
    default:
        break;
    }
    return 0;
}

LRESULT CMainFrame::OnTaskbarCreated(UINT, WPARAM, LPARAM, BOOL&) {
    AddTrayIcon();
    return 0;
}
