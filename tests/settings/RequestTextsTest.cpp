// The texts that go into every request's headers.
#include <gtest/gtest.h>

#include <cwctype>
#include <regex>

#include "BrelioServices/RequestTexts.h"
#include "BrelioServices/RestFrame.h"
#include "BrelioServices/SessionError.h"
#include "BrelioServices/WindowsVersion.h"
#include "BuildConfig.h"

namespace {

TEST(RequestTexts, SessionHeaderIsTwoLines) {
    std::wstring header;
    ASSERT_EQ(MakeSessionHeader(L"abc-123_XYZ=", L"acme", header), S_OK);
    EXPECT_EQ(header, std::wstring(L"SESSION: abc-123_XYZ=\r\nBrelio-Tenant-Domain: acme.") + ServiceDomain());
}

TEST(RequestTexts, SessionHeaderRefusesWhatCouldBreakOutOfItsLine) {
    const std::wstring tooLong(4096, L'a');
    const struct {
        const char* what;
        const wchar_t* session;
        const wchar_t* tenant;
        HRESULT result;
    } cases[] = {
        {"CR LF in the session", L"abc\r\nX-Injected: 1", L"acme", E_INVALIDARG},
        {"LF in the session", L"abc\nX: 1", L"acme", E_INVALIDARG},
        {"CR in the session", L"abc\r", L"acme", E_INVALIDARG},
        {"tab in the session", L"a\tb", L"acme", E_INVALIDARG},
        {"DEL in the session", L"a\x7f", L"acme", E_INVALIDARG},
        // Narrowed by its low byte, U+010A would become a line feed.
        {"beyond ASCII in the session", L"a\u010a", L"acme", E_INVALIDARG},
        {"empty session", L"", L"acme", E_INVALIDARG},
        {"no session", nullptr, L"acme", E_INVALIDARG},
        {"CR LF in the tenant", L"abc", L"acme\r\nX-Injected: 1", E_INVALIDARG},
        {"dot in the tenant", L"abc", L"acme.evil.example", E_INVALIDARG},
        {"empty tenant", L"abc", L"", E_INVALIDARG},
        {"too long for the session header", tooLong.c_str(), L"acme", HRESULT_FROM_WIN32(ERROR_BUFFER_OVERFLOW)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::wstring header = L"previous";
        EXPECT_EQ(MakeSessionHeader(c.session, c.tenant, header), c.result);
        EXPECT_EQ(header, L"");
    }
}

TEST(RequestTexts, UserAgentCarriesOwnVersionAndWindowsVersion) {
    const std::wstring agent = MakeUserAgent();
    std::wsmatch match;
    ASSERT_TRUE(std::regex_match(agent, match, std::wregex(L"BrelioDrive/([0-9.]+) \\(Windows NT (\\d+)\\.(\\d+)\\)")))
        << testing::PrintToString(agent);
    EXPECT_EQ(match[1].str(), L"" BRELIO_VERSION_TEXT);
    EXPECT_EQ(std::stoi(match[2].str()) >= 10, IsWindows10OrLater());
    EXPECT_LT(agent.size(), kUserAgentCapacity);
}

TEST(RequestTexts, SessionErrorsAreExactlyTheThreeCodes) {
    const struct {
        uint32_t code;
        bool session;
    } cases[] = {
        {0xA000000F, false}, {0xA0000010, true}, {0xA0000011, true},
        {0xA0000012, true},  {0xA0000013, false}, {0, false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsSessionError(static_cast<HRESULT>(c.code)), c.session) << std::hex << c.code;
}

}  // namespace
