#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "BrelioApp/DriveApp.h"
#include "BrelioApp/LoginWnd.h"
#include "BrelioApp/LogoutWnd.h"
#include "BrelioApp/WebAddress.h"
#include "BrelioCore/TextConvert.h"
#include "SigninSteps.h"
#include "StandinControl.h"
#include "TestBrowser.h"

using namespace brelio::test;
using brelio::Utf8ToWide;
using brelio::WideToUtf8;

namespace {

constexpr char kTenant[] = "logoutco";

class SigninLogout : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(m_browserClass.Registered(), S_OK);
        ASSERT_FALSE(MakeTenant(kTenant).empty());
        // Signed in through the web pages, as the sign-out will find it.
        SetAfterDocumentComplete([](IWebBrowser2*, const std::wstring&) {
            ::PostMessageW(FindThreadWindow(L"BrelioDrive.LoginWnd"), WM_CLOSE, 0, 0);
        });
        const std::wstring tenant = Utf8ToWide(kTenant);
        CLoginWnd login(tenant);
        ASSERT_EQ(login.DoModal(nullptr), CModalWndBase::kResultOk);
        m_session = login.GetSession();
        ASSERT_TRUE(SessionWorks(m_session, kTenant));
        ASSERT_EQ(CDriveApp::GetInstance()->GetSettings().SetAccount(tenant.c_str(), L"web"), ERROR_SUCCESS);
        TakeCompletedPages();
        SetAfterDocumentComplete(nullptr);
    }
    void TearDown() override {
        ControlPost("/faults/clear?host=logoutco.localhost", Json::Value(Json::objectValue));
        (void)CDriveApp::GetInstance()->GetSettings().SetAccount(nullptr, nullptr);
    }

    CTestBrowserClass m_browserClass;
    std::wstring m_session;
};

}  // namespace

TEST_F(SigninLogout, HiddenWindowEndsOnTheFinalizePageAndTheSessionIsGone) {
    COwnerWindow owner;
    ASSERT_NE(owner.Create(), nullptr);
    bool visible = true;
    bool ownerEnabled = true;
    SetAfterDocumentComplete([&](IWebBrowser2*, const std::wstring&) {
        HWND logout = FindThreadWindow(L"BrelioDrive.LogoutWnd");
        visible = logout == nullptr || ::IsWindowVisible(logout);
        ownerEnabled = ::IsWindowEnabled(owner) != FALSE;
    });
    CLogoutWnd window;
    EXPECT_EQ(window.DoModal(owner), CModalWndBase::kResultOk);
    const std::vector<std::wstring> pages = TakeCompletedPages();
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(pages[0], TenantAddress(kTenant, kSignOutFinalizePath));
    EXPECT_FALSE(visible);
    EXPECT_FALSE(ownerEnabled) << "the owner waits while the sign-out runs";
    EXPECT_TRUE(::IsWindowEnabled(owner));
    EXPECT_FALSE(SessionWorks(m_session, kTenant));
}

TEST_F(SigninLogout, EndsByItselfWhenTheSignOutPageNeverFinishes) {
    Json::Value errorPage;
    errorPage["host"] = std::string(kTenant) + ".localhost";
    errorPage["path"] = "^/auth/mobile/drive/signout$";
    errorPage["status"] = 500;
    errorPage["body"] = "<html><body>Service unavailable</body></html>";
    errorPage["times"] = -1;
    Json::Value noAnswer;
    noAnswer["host"] = std::string(kTenant) + ".localhost";
    noAnswer["path"] = "^/auth/mobile/drive/signout$";
    noAnswer["close"] = true;
    noAnswer["times"] = -1;
    struct Case {
        const char* what;
        const Json::Value* fault;
    };
    const Case cases[] = {{"an error page", &errorPage}, {"no answer at all", &noAnswer}};
    for (const Case& c : cases) {
        ControlPost("/faults", *c.fault);
        CLogoutWnd window;
        EXPECT_EQ(window.DoModal(nullptr), CModalWndBase::kResultCancel) << c.what;
        const std::vector<std::wstring> pages = TakeCompletedPages();
        ASSERT_EQ(pages.size(), 1u) << c.what;
        EXPECT_EQ(pages[0], TenantAddress(kTenant, kSignOutPath)) << c.what;
        EXPECT_EQ(FindThreadWindow(L"BrelioDrive.LogoutWnd"), nullptr) << c.what;
        EXPECT_TRUE(SessionWorks(m_session, kTenant)) << c.what << ": the service never saw the sign-out";
        ControlPost("/faults/clear?host=logoutco.localhost", Json::Value(Json::objectValue));
    }
}
