#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "BrelioApp/WebAddress.h"
#include "BrelioApp/WebView.h"
#include "SigninSteps.h"
#include "StandinControl.h"
#include "TestBrowser.h"

using namespace brelio::test;

namespace {

class CPageLog : public CWebBrowserEvent::ICallback {
public:
    void OnDocumentComplete(IWebBrowser2* browser, const wchar_t* address) override {
        addresses.emplace_back(address);
        browsers.push_back(browser);
    }
    std::vector<std::wstring> addresses;
    std::vector<IWebBrowser2*> browsers;
};

// A hidden top-level window for the view to live in.
struct CHostFrame {
    COwnerWindow frame;
    RECT area = {0, 0, 400, 300};
    CHostFrame() { frame.Create(); }
};

}  // namespace

TEST(SigninWebView, LoadedPagesReachTheCallbackWithTheirAddressEvenWhenTheLoadFails) {
    CTestBrowserClass browserClass;
    ASSERT_EQ(browserClass.Registered(), S_OK);
    MakeTenant("viewco");
    struct Case {
        const char* what;
        std::wstring address;
    };
    const Case cases[] = {
        {"a page of the stand-in", TenantAddress("viewco", kSignOutFinalizePath)},
        {"a page no server answers", L"http://127.0.0.1:1/nothing-here"},
    };
    for (const Case& c : cases) {
        CHostFrame host;
        CPageLog log;
        CWebView view;
        ASSERT_NE(view.Create(host.frame, host.area, c.address.c_str(), &log, true), nullptr) << c.what;
        EXPECT_NE(view.GetBrowserWindow(), nullptr) << c.what;
        EXPECT_TRUE(view.IsSinkConnected()) << c.what;
        PumpWaitingMessages();
        ASSERT_EQ(log.addresses.size(), 1u) << c.what;
        EXPECT_EQ(log.addresses[0], c.address) << c.what;
        EXPECT_NE(log.browsers[0], nullptr) << c.what;
    }
    EXPECT_EQ(LiveBrowsers(), 0);
    EXPECT_EQ(ConnectedSinks(), 0);
}

TEST(SigninWebView, LetsGoOfSinkAndBrowserOnEveryWayOut) {
    CTestBrowserClass browserClass;
    ASSERT_EQ(browserClass.Registered(), S_OK);
    enum class Way { kViewDestroyed, kHostWindowFirst, kBrowserCannotStart, kStillLoading };
    struct Case {
        const char* what;
        Way way;
    };
    const Case cases[] = {
        {"the view is destroyed", Way::kViewDestroyed},
        {"the browser's host window goes first", Way::kHostWindowFirst},
        {"the browser cannot start", Way::kBrowserCannotStart},
        {"the view goes while its page still loads", Way::kStillLoading},
    };
    for (const Case& c : cases) {
        CHostFrame host;
        CPageLog log;
        {
            CWebView view;
            if (c.way == Way::kBrowserCannotStart) FailNextActivation();
            ASSERT_NE(view.Create(host.frame, host.area, L"http://127.0.0.1:1/", &log, true), nullptr) << c.what;
            if (c.way == Way::kBrowserCannotStart) {
                EXPECT_EQ(view.GetBrowserWindow(), nullptr) << c.what;
                EXPECT_FALSE(view.IsSinkConnected()) << c.what;
            } else {
                EXPECT_TRUE(view.IsSinkConnected()) << c.what;
            }
            if (c.way == Way::kViewDestroyed) PumpWaitingMessages();
            if (c.way == Way::kHostWindowFirst) ::DestroyWindow(view.GetBrowserWindow());
            view.DestroyWindow();
            EXPECT_FALSE(view.IsSinkConnected()) << c.what;
        }
        PumpWaitingMessages();
        EXPECT_EQ(ConnectedSinks(), 0) << c.what;
        EXPECT_EQ(LiveBrowsers(), 0) << c.what;
        if (c.way != Way::kViewDestroyed) {
            EXPECT_TRUE(log.addresses.empty()) << c.what;
        }
    }
}
