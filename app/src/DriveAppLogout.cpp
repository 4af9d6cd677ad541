#include "BrelioApp/DriveApp.h"
#include "BrelioApp/MainFrame.h"
#include "BrelioApp/SignInWindows.h"
#include "BrelioServices/GlobalSettings.h"
#include "BrelioSync/SyncManager.h"

namespace {
constexpr UINT kLogoutDelayMs = 20;
}

void CALLBACK CDriveApp::LogoutTimerProc(HWND, UINT, UINT_PTR, DWORD) { CDriveApp::GetInstance()->Logout(); }

void CDriveApp::Logout() {
    if (m_logoutTimerId == 0) {
        m_logoutTimerId = ::SetTimer(nullptr, 0, kLogoutDelayMs, &CDriveApp::LogoutTimerProc);
        return;
    }
    ::KillTimer(nullptr, m_logoutTimerId);
    m_logoutTimerId = 0;
    if (InNestedLoop()) {
        // A modal window, a message box or the update check is pumping:
        // the sign-out destroys and replaces what it may stand on. It runs
        // once the last such loop has ended.
        Defer(kDeferLogout);
        return;
    }
    SignOutAndIn();
}

void CDriveApp::SignOutAndIn() {
    CMainFrame* frame = m_frameWindow;
    const HWND frameWindow = GetMainFrameWindow();
    (void)NotifySettingsChange();
    RunWebSignOut(frameWindow);
    (void)StopSyncThreads();
    (void)m_settings.SetSessionId(L"");
    (void)m_settings.SetAccount(L"", L"");
    if (frame != nullptr) {
        frame->SetModalState(CMainFrame::kModalOpen | CMainFrame::kModalKeepHidden);
        frame->ShowWindow(SW_HIDE);
        frame->ShowSessionErrorMessage();
    }
    if (!Login(frameWindow)) {
        // No one is signed in: the program ends as after Exit. Through the
        // handle: the frame object deletes itself on the way.
        if (const HWND window = GetMainFrameWindow()) ::DestroyWindow(window);
        return;
    }
    if (m_frameWindow != nullptr) {
        m_frameWindow->SetModalState(0);
        m_frameWindow->ShowWindow(SW_SHOW);
    }
    (void)StartSyncThreadsOrTell(frameWindow);
    (void)NotifySettingsChange();
}
