#include "BrelioApp/DriveApp.h"
#include "BrelioApp/MainFrame.h"
#include "BrelioApp/ResourceIds.h"
#include "BrelioServices/PostCommand.h"

CDriveApp::CNestedLoop::CNestedLoop() { ++CDriveApp::GetInstance()->m_nestedLoops; }

CDriveApp::CNestedLoop::~CNestedLoop() { CDriveApp::GetInstance()->LeaveNestedLoop(); }

void CDriveApp::LeaveNestedLoop() {
    if (--m_nestedLoops > 0 || m_deferred == 0) return;
    // Posted, not run here: the loop that just ended is still unwinding
    // through its caller, which may use its window or object afterwards.
    RunDeferred();
}

void CDriveApp::RunDeferred() {
    const unsigned deferred = m_deferred;
    m_deferred = 0;
    const HWND frame = GetMainFrameWindow();
    if ((deferred & kDeferExit) != 0 && frame != nullptr) {
        // The program ends: a sign-out or update check put off is moot.
        PostCommand(frame, ID_APP_EXIT);
        return;
    }
    if ((deferred & kDeferLogout) != 0) Logout();
    if ((deferred & kDeferUpdateCheck) != 0 && frame != nullptr)
        ::PostMessageW(frame, WM_TIMER, CMainFrame::kUpdateTimerId, 0);
}
