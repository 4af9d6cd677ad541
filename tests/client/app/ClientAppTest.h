#pragma once
#include <windows.h>

#include <string>

#include "BrelioApp/DriveApp.h"
#include "BrelioApp/MainFrame.h"
#include "BrelioFramework/MessageLoop.h"
#include "PanelView.h"
#include "StandinTest.h"
#include "StoredSignIn.h"

namespace brelio::test {

// The application object of this test process, started as the program
// starts it, for the stand-in account signed in earlier: real registry,
// real database and folder, real windows under the test display.
class ClientAppTest : public StandinTest {
protected:
    void SetUp() override;
    void TearDown() override;
    // What an earlier run left in the registry: by default a kept sign-in
    // of the stand-in account with the test's folder.
    virtual void StoreSettings() { StoreSignIn(m_account, m_folder.Path()); }
    // Signs in with the stored session and makes the main frame (hidden).
    void SignInWithFrame();
    HWND Frame() const { return CDriveApp::GetInstance()->GetMainFrameWindow(); }
    // The frame's tray icon is in the notification area.
    bool TrayIconPresent() const;
    // The exit code of the quit message, once the frame has gone.
    int PumpUntilQuit();

    CDriveApp* m_app = nullptr;
    WTL::CMessageLoop m_loop;
    CPanelView m_panel;
};

}  // namespace brelio::test
