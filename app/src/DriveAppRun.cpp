#include "BrelioApp/DriveApp.h"

#include <memory>

#include "BrelioApp/MainFrame.h"
#include "BrelioApp/ModalWndBase.h"
#include "BrelioApp/SignInWindows.h"
#include "BrelioApp/StringIds.h"
#include "BrelioCore/StringTable.h"
#include "BrelioFramework/MessageLoop.h"
#include "BrelioServices/GlobalSettings.h"
#include "BrelioServices/Log.h"
#include "BrelioServices/SyncFolderCheck.h"
#include "BrelioSync/SyncManager.h"

HRESULT CDriveApp::StartSyncThreadsOrTell(HWND owner) {
    const HRESULT started = StartSyncThreads();
    if (started == kSyncFolderRefused) ShowMessage(owner, IDS_FOLDER_NOT_VALID, MB_ICONERROR);
    if (SUCCEEDED(started)) m_syncManager->RequestFullSync();
    return started;
}

int CDriveApp::Run(WTL::CMessageLoop* loop, int showCommand) {
    m_messageLoop = loop;
    const bool firstRun = m_settings.IsFirstRun();
    if (!Login(nullptr)) {
        if (firstRun) (void)SetFirstRun(true);
        return -1;
    }
    if (CreateMainFrame(showCommand) == nullptr) {
        ShowMessage(nullptr, IDS_INIT_FAILED, MB_ICONERROR);
        if (firstRun) (void)SetFirstRun(true);
        return -1;
    }
    if (firstRun) {
        int changes = 0;
        if (RunOptionsWindow(GetMainFrameWindow(), changes) == CModalWndBase::kResultCancel) {
            (void)SetFirstRun(true);
            DestroyFrameNow();
            return -1;
        }
        (void)ConfirmExistingStorage(GetMainFrameWindow());
    }
    m_settings.ClearFirstRun();
    (void)StartSyncThreadsOrTell(GetMainFrameWindow());
    const int exitCode = loop->Run();
    SignOutAtExit();
    (void)StopSyncThreads();
    return exitCode;
}

void CDriveApp::SignOutAtExit() {
    if (m_settings.IsAutoLogin() || !m_settings.HasSession()) return;
    RunWebSignOut(nullptr);
    (void)m_settings.SetSessionId(L"");
    (void)m_settings.SetAccount(L"", L"");
}

namespace {

// A destroyed frame's last act is the quit message of a normal end. An end
// that is not one drops it: a message box shown now would take it as its
// own end, and nothing pumps after it.
void DropQuitMessages() {
    MSG quit;
    while (::PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
}

}  // namespace

void CDriveApp::DestroyFrameNow() {
    // Through the handle: the frame object deletes itself on the way.
    if (const HWND window = GetMainFrameWindow()) ::DestroyWindow(window);
    DropQuitMessages();
}

HWND CDriveApp::CreateMainFrame(int showCommand) {
    const std::wstring title = LoadStringText(IDS_APP_TITLE);
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    ::GetMonitorInfoW(::MonitorFromWindow(::GetDesktopWindow(), MONITOR_DEFAULTTOPRIMARY), &monitor);
    const RECT& work = monitor.rcWork;
    const RECT rect = {work.right - 470, work.bottom - 617, work.right - 4, work.bottom - 4};
    auto frame = std::make_unique<CMainFrame>();
    const HWND window = frame->Create(nullptr, rect, title.c_str(), WS_POPUP, WS_EX_APPWINDOW | WS_EX_WINDOWEDGE);
    if (window == nullptr) {
        // Without a display, or when the panel cannot be made, the window
        // may have come and gone already; the object is still ours.
        Log(L"Main frame not created(%u).", static_cast<unsigned>(::GetLastError()));
        DropQuitMessages();
        return nullptr;
    }
    frame.release()->HandOverToWindow();
    ::SetMenu(window, nullptr);
    ::ShowWindow(window, showCommand);
    return window;
}

HRESULT CDriveApp::StartSyncThreads() {
    if (!m_syncManager) return E_UNEXPECTED;
    if (!m_storageReady) return HRESULT_FROM_WIN32(ERROR_NOT_READY);
    const HRESULT folder = CheckStoredSyncFolder(m_settings.GetRootDir());
    if (FAILED(folder)) return folder;
    m_stopEvent.ResetEvent();
    const HRESULT started = m_syncManager->StartAll();
    m_threadsStarted = true;
    return started;
}

HRESULT CDriveApp::StopSyncThreads() {
    if (!m_syncManager || !m_threadsStarted) return S_OK;
    m_threadsStarted = false;
    m_stopEvent.SetEvent();
    return m_syncManager->StopAll();
}
