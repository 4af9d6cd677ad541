#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "BrelioApp/EmbeddedFont.h"
#include "BrelioApp/StringIds.h"
#include "BrelioApp/TenantWnd.h"
#include "BrelioCore/StringTable.h"
#include "BrelioCore/TextConvert.h"
#include "BrelioFramework/Module.h"
#include "SigninSteps.h"
#include "StandinControl.h"
#include "WindowPixels.h"

using namespace brelio::test;

namespace {

HWND TenantWindow() { return FindThreadWindow(L"BrelioDrive.TenantWnd"); }

// Types the text into the domain box as a user would (the box then tells
// its window the text changed).
void TypeDomain(HWND tenant, const std::wstring& text) {
    ::SetDlgItemTextW(tenant, CTenantWnd::kEditId, text.c_str());
}

// The window as drawn with "acme" typed: the logo above the form, the
// domain in the accent colour with the tenant suffix beside it, the Next
// button in the accent colour with its white caption, nothing below.
void ExpectTenantWindowDrawn(HWND tenant) {
    CWindowPixels pixels;
    ASSERT_TRUE(pixels.Capture(tenant));
    constexpr COLORREF kWhite = RGB(255, 255, 255);
    constexpr COLORREF kAccent = RGB(71, 87, 196);  // the logo's blue as well
    const RECT edit = PlaceIn(tenant, ::GetDlgItem(tenant, CTenantWnd::kEditId));
    const RECT next = PlaceIn(tenant, ::GetDlgItem(tenant, IDOK));
    EXPECT_GE(pixels.CountNear({0, 120, pixels.Width(), edit.top - 20}, kAccent, 16), 200) << "the logo";
    EXPECT_GE(pixels.CountNear(edit, kAccent, 48), 20) << "the typed domain";
    EXPECT_GE(pixels.CountDrawn({edit.right, edit.top, edit.left + 360, edit.bottom}, kWhite), 40) << "the suffix";
    const int buttonArea = (next.right - next.left) * (next.bottom - next.top);
    EXPECT_GE(pixels.CountNear(next, kAccent, 8), buttonArea * 3 / 4) << "the Next button";
    EXPECT_GE(pixels.CountNear(next, kWhite, 48), 20) << "its caption";
    EXPECT_EQ(pixels.CountDrawn({0, next.bottom + 8, pixels.Width(), pixels.Height()}, kWhite), 0);
}

struct Outcome {
    bool clicked = false;
    std::wstring message;  // the text of the message box shown, if any
    bool stillOpen = false;
};

// Types the text, clicks Next and closes the message box that comes up,
// all from inside the window's modal loop.
void Attempt(const std::wstring& text, Outcome& outcome) {
    HWND tenant = TenantWindow();
    if (tenant == nullptr || !::IsWindowEnabled(tenant)) return;  // already ended
    TypeDomain(tenant, text);
    HWND next = ::GetDlgItem(tenant, IDOK);
    outcome.clicked = ::IsWindowEnabled(next) != FALSE;
    PostStep([tenant, &outcome] {
        HWND box = FindMessageBox(tenant, &outcome.message);
        if (box != nullptr) ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    });
    ::SendMessageW(next, BM_CLICK, 0, 0);
    outcome.stillOpen = ::IsWindow(tenant) != FALSE;
}

}  // namespace

TEST(SigninTenantWindow, NextIsEnabledOnlyForOneToFortyCharacters) {
    struct Case {
        size_t length;
        bool enabled;
    };
    const Case cases[] = {{0, false}, {1, true}, {40, true}, {41, false}};
    std::vector<bool> seen;
    brelio::UniqueFontMemResource font;
    ASSERT_EQ(LoadEmbeddedFont(font, ATL::GetModuleInstance()), S_OK);
    CTenantWnd window;
    PostStep([&] {
        HWND tenant = TenantWindow();
        for (const Case& c : cases) {
            TypeDomain(tenant, std::wstring(c.length, L'a'));
            seen.push_back(::IsWindowEnabled(::GetDlgItem(tenant, IDOK)) != FALSE);
        }
        TypeDomain(tenant, L"acme");
        SaveWindowShot(tenant, L"signin-tenant-window");
        ExpectTenantWindowDrawn(tenant);
        ::PostMessageW(tenant, WM_CLOSE, 0, 0);
    });
    EXPECT_EQ(window.DoModal(nullptr), CModalWndBase::kResultCancel);
    ASSERT_EQ(seen.size(), std::size(cases));
    for (size_t i = 0; i < seen.size(); ++i) EXPECT_EQ(seen[i], cases[i].enabled) << cases[i].length << " characters";
}

TEST(SigninTenantWindow, RefusesWhatTheServiceDoesNotKnowAndKeepsTheKnownTenant) {
    const std::string tenantId = MakeTenant("tenantco");
    ASSERT_FALSE(tenantId.empty());
    Json::Value fault;
    fault["host"] = "localhost";
    fault["path"] = "/tenants/tenantco\\.";
    fault["status"] = 500;
    fault["body"] = "down";
    // A refusal whose body still names a tenant.
    Json::Value refused;
    refused["host"] = "localhost";
    refused["path"] = "/tenants/tenantco\\.";
    refused["status"] = 401;
    refused["body"] = "{\"header\":{\"isSuccessful\":true,\"resultCode\":0},\"result\":{\"name\":\"x\",\"tenantId\":\"7\"}}";

    struct Case {
        const char* what;
        std::wstring text;
        const Json::Value* fault;
    };
    const Case refusals[] = {
        {"an unknown tenant", L"nosuchtenant", nullptr},
        {"a stand-in failure", L"tenantco", &fault},
        {"a refused lookup", L"tenantco", &refused},
        {"a dot", L"tenantco.evil", nullptr},
        {"a slash", L"tenantco/x", nullptr},
        {"an at sign", L"x@tenantco", nullptr},
        {"a blank", L"tenant co", nullptr},
    };
    ControlPost("/log/clear?host=localhost", Json::Value(Json::objectValue));
    std::vector<Outcome> outcomes(std::size(refusals));
    Outcome accepted;
    CTenantWnd window;
    PostStep([&] {
        for (size_t i = 0; i < std::size(refusals); ++i) {
            if (refusals[i].fault != nullptr) ControlPost("/faults", *refusals[i].fault);
            Attempt(refusals[i].text, outcomes[i]);
        }
        Attempt(L"TenantCo", accepted);
    });
    EXPECT_EQ(window.DoModal(nullptr), CModalWndBase::kResultOk);

    const std::wstring wrongTenant = LoadStringText(IDS_WRONG_TENANT);
    ASSERT_FALSE(wrongTenant.empty());
    for (size_t i = 0; i < std::size(refusals); ++i) {
        EXPECT_TRUE(outcomes[i].clicked) << refusals[i].what;
        EXPECT_EQ(outcomes[i].message, wrongTenant) << refusals[i].what;
        EXPECT_TRUE(outcomes[i].stillOpen) << refusals[i].what;
    }
    EXPECT_TRUE(accepted.message.empty());
    EXPECT_EQ(window.GetTenantDomain(), L"TenantCo") << "kept as typed";
    EXPECT_EQ(window.GetTenantId(), tenantId);

    // Texts that are no DNS label never reached the service.
    const Json::Value log = ControlGet("/log?host=localhost");
    for (const Json::Value& entry : log["entries"]) {
        const std::string path = entry["path"].asString();
        EXPECT_EQ(path.find("evil"), std::string::npos) << path;
        EXPECT_EQ(path.find("%40"), std::string::npos) << path;
        EXPECT_EQ(path.find("tenant co"), std::string::npos) << path;
    }
}
