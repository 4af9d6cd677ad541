#include <windows.h>
#include <mshtml.h>

#include <gtest/gtest.h>

#include <cwctype>
#include <string>
#include <vector>

#include "BrelioApp/LoginWnd.h"
#include "BrelioApp/WebAddress.h"
#include "BrelioCore/ComPtr.h"
#include "BrelioCore/TextConvert.h"
#include "BrelioCore/UniqueHandle.h"
#include "SigninSteps.h"
#include "StandinControl.h"
#include "TestBrowser.h"

using namespace brelio::test;
using brelio::Utf8ToWide;
using brelio::WideToUtf8;

namespace {

constexpr char kTenant[] = "loginco";

HWND LoginWindow() { return FindThreadWindow(L"BrelioDrive.LoginWnd"); }

// Closes the sign-in window after the page, as a user gives up; a window
// that already ended is gone by then and the close goes nowhere.
void CloseAfterPage() { ::PostMessageW(LoginWindow(), WM_CLOSE, 0, 0); }

std::wstring BodyTextOf(IWebBrowser2* browser) {
    brelio::ComPtr<IDispatch> document;
    brelio::ComPtr<IHTMLDocument2> html;
    brelio::ComPtr<IHTMLElement> body;
    brelio::UniqueBstr text;
    if (FAILED(browser->get_Document(document.Put())) || FAILED(document.As(html)) ||
        FAILED(html->get_body(body.Put())) || FAILED(body->get_innerText(text.Put()))) {
        return L"";
    }
    return text.Get() != nullptr ? text.Get() : L"";
}

Json::Value HostFault(const std::string& path, const std::string& body) {
    Json::Value fault;
    fault["host"] = std::string(kTenant) + ".localhost";
    fault["path"] = path;
    fault["status"] = 200;
    fault["body"] = body;
    return fault;
}

bool HasSpaceAtEnds(const std::wstring& text) {
    return !text.empty() && (std::iswspace(text.front()) || std::iswspace(text.back()));
}

class SigninLogin : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(m_browserClass.Registered(), S_OK);
        ASSERT_FALSE(MakeTenant(kTenant).empty());
        TakeCompletedPages();
    }
    void TearDown() override { ControlPost("/faults/clear?host=loginco.localhost", Json::Value(Json::objectValue)); }

    CTestBrowserClass m_browserClass;
    std::wstring m_tenant = L"loginco";
};

}  // namespace

TEST_F(SigninLogin, TheWholeFlowEndsWithAWorkingSessionOfTheTenantWithoutTheBlanksAround) {
    std::wstring finalizeText;
    SetAfterDocumentComplete([&](IWebBrowser2* browser, const std::wstring&) {
        finalizeText = BodyTextOf(browser);
        CloseAfterPage();
    });
    CLoginWnd window(m_tenant);
    EXPECT_EQ(window.DoModal(nullptr), CModalWndBase::kResultOk);

    const std::vector<std::wstring> pages = TakeCompletedPages();
    ASSERT_EQ(pages.size(), 1u) << "the sign-in page goes on to the finalize page by itself";
    EXPECT_EQ(pages[0].rfind(TenantAddress(kTenant, kSignInFinalizePath), 0), 0u) << WideToUtf8(pages[0]);
    EXPECT_TRUE(HasSpaceAtEnds(finalizeText)) << "the page shows its session between line breaks";
    EXPECT_FALSE(window.GetSession().empty());
    EXPECT_FALSE(HasSpaceAtEnds(window.GetSession()));
    EXPECT_NE(finalizeText.find(window.GetSession()), std::wstring::npos);
    EXPECT_TRUE(SessionWorks(window.GetSession(), kTenant));
}

TEST_F(SigninLogin, OnlyAnAddressBeginningWithTheFinalizeAddressInAnyLetterCaseEndsIt) {
    // The sign-in page waits for the user instead of going on by itself.
    ControlPost("/faults", HostFault("^/auth/mobile/drive/signin$", "<html><body>Sign in</body></html>"));
    const std::wstring finalize = TenantAddress(kTenant, kSignInFinalizePath);
    std::wstring upper = finalize;
    for (wchar_t& c : upper) c = static_cast<wchar_t>(std::towupper(c));
    int page = 0;
    SetAfterDocumentComplete([&](IWebBrowser2* browser, const std::wstring&) {
        ++page;
        if (page == 1) {
            NavigateAsUser(browser, TenantAddress(kTenant, L"/help?next=") + finalize);
        } else if (page == 2) {
            Json::Value body;
            body["tenant"] = kTenant;
            const std::string ticket = ControlPost("/web/ticket", body)["ticket"].asString();
            NavigateAsUser(browser, upper + L"?ticket=" + Utf8ToWide(ticket));
        } else {
            CloseAfterPage();
        }
    });
    CLoginWnd window(m_tenant);
    EXPECT_EQ(window.DoModal(nullptr), CModalWndBase::kResultOk);
    EXPECT_EQ(page, 3) << "neither the sign-in page nor an address holding the prefix later ended it";
    EXPECT_TRUE(SessionWorks(window.GetSession(), kTenant));
}

TEST_F(SigninLogin, AFinalizePageWithoutAUsableSessionKeepsTheWindowOpenAndGivesNothing) {
    struct Case {
        const char* what;
        std::string body;
    };
    const Case cases[] = {
        {"empty", ""},
        {"only blanks and line breaks", " \r\n\t "},
        {"a control character", "abc\x01" "def"},
        {"non-ASCII text", "s\xC3\xA9" "ance"},
        {"over-long text", std::string(5000, 'a')},
        {"an error page", "<html><body>\n  Something went wrong: try again later.\n</body></html>"},
    };
    for (const Case& c : cases) {
        ControlPost("/faults", HostFault("^/auth/signin/finalize", c.body));
        bool openAfterFinalize = false;
        SetAfterDocumentComplete([&](IWebBrowser2*, const std::wstring&) {
            openAfterFinalize = LoginWindow() != nullptr;
            CloseAfterPage();
        });
        CLoginWnd window(m_tenant);
        EXPECT_EQ(window.DoModal(nullptr), CModalWndBase::kResultCancel) << c.what;
        EXPECT_TRUE(openAfterFinalize) << c.what;
        EXPECT_TRUE(window.GetSession().empty()) << c.what;
        EXPECT_EQ(TakeCompletedPages().size(), 1u) << c.what;
    }
}

TEST_F(SigninLogin, ATenantThatWouldMoveTheHostOpensNoPage) {
    const wchar_t* const tenants[] = {L"loginco.evil.example", L"evil.example/loginco", L"x@loginco", L"loginco:1",
                                      L""};
    SetAfterDocumentComplete([](IWebBrowser2*, const std::wstring&) { CloseAfterPage(); });
    for (const wchar_t* tenant : tenants) {
        const std::wstring text = tenant;
        CLoginWnd window(text);
        EXPECT_EQ(window.DoModal(nullptr), CModalWndBase::kResultCancel) << WideToUtf8(text);
        EXPECT_EQ(LoginWindow(), nullptr);
    }
    EXPECT_TRUE(TakeCompletedPages().empty());
    EXPECT_EQ(LiveBrowsers(), 0);
}
