#include "ClientAppTest.h"

#include <shellapi.h>

#include "BrelioFramework/AppModule.h"
#include "BrelioSync/SyncManager.h"

namespace brelio::test {

void ClientAppTest::SetUp() {
    StandinTest::SetUp();
    StoreSettings();
    WTL::GetAppModule().AddMessageLoop(&m_loop);
    m_app = CDriveApp::GetInstance();
    ASSERT_GE(m_app->Init(::GetModuleHandleW(nullptr)), 0);
    m_app->GetSyncManager()->SetNotifyView(&m_panel);
}

void ClientAppTest::TearDown() {
    if (const HWND frame = Frame()) ::DestroyWindow(frame);
    m_app->StopSyncThreads();
    const std::wstring database = m_app->GetSettings().GetLocalStoragePath();
    m_app->Term();
    CDriveApp::DestroyInstance();
    m_panel.Drain();
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
    WTL::GetAppModule().RemoveMessageLoop();
    if (!database.empty()) ::DeleteFileW(database.c_str());
    RemoveSettings();
    StandinTest::TearDown();
}

void ClientAppTest::SignInWithFrame() {
    ASSERT_TRUE(m_app->Login(nullptr));
    ASSERT_NE(m_app->CreateMainFrame(SW_HIDE), nullptr);
}

bool ClientAppTest::TrayIconPresent() const {
    // Changing the tip of an icon that is not there fails.
    NOTIFYICONDATAW data = {};
    data.cbSize = sizeof(data);
    data.hWnd = Frame();
    data.uID = 1;
    data.uFlags = NIF_GUID | NIF_TIP;
    data.guidItem = CMainFrame::kTrayIconId;
    ::lstrcpynW(data.szTip, L"Brelio! Drive", 64);
    return data.hWnd != nullptr && ::Shell_NotifyIconW(NIM_MODIFY, &data) != FALSE;
}

int ClientAppTest::PumpUntilQuit() {
    const ULONGLONG deadline = ::GetTickCount64() + 60000;
    MSG msg;
    while (::GetTickCount64() < deadline) {
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) return static_cast<int>(msg.wParam);
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
    return -1000;
}

}  // namespace brelio::test
