#include <gtest/gtest.h>

#include "BrelioServices/DriveApi.h"
#include "BrelioServices/FileTransfer.h"
#include "BrelioServices/RestFrame.h"

TEST(RequestFrame, ServerCodesMapInTableOrder) {
    const int codes[] = {-15100000, -15100200, -15100201, -15100202, -15200200, -15300000, -15300100, -15300200,
                         -15300700, -15400000, -15400100, -15400200, -15400201, -15400202, -15700000, -15700100};
    uint32_t expected = 0xA0000005;
    for (int code : codes) EXPECT_EQ(static_cast<uint32_t>(MapResultCode(code)), expected++) << code;
    for (int unknown : {0, -1, 200, -15100001, -15700101})
        EXPECT_EQ(MapResultCode(unknown), API_E_BAD_RESPONSE) << unknown;
}

TEST(RequestFrame, TenantUrlKeepsTheSchemeAsWritten) {
    struct Case {
        const wchar_t* base;
        const wchar_t* tenant;
        const wchar_t* expected;
    } cases[] = {
        {L"https://svc.example/v2/mapi", L"acme", L"https://acme.svc.example/v2/mapi"},
        {L"HTTPS://svc.example/v2/mapi", L"acme", L"HTTPS://acme.svc.example/v2/mapi"},
        {L"http://localhost:18480/v2/mapi", L"t", L"http://t.localhost:18480/v2/mapi"},
        // Anything but https is taken to have a scheme of seven characters.
        {L"ftp://x/y", L"t", L"ftp://xt./y"},
    };
    for (const Case& c : cases) EXPECT_EQ(BuildTenantUrl(c.base, c.tenant), c.expected) << c.base;

    const std::wstring longTenant(200, L'a');
    EXPECT_EQ(BuildTenantUrl(L"https://svc.example/v2/mapi", longTenant.c_str()).size(), 127u);
}

TEST(RequestFrame, TenantNamesAreDnsLabels) {
    for (const wchar_t* good : {L"acme", L"a-1", L"A", L"x123456789012345678901234567890123456789012345678901234567890ab"})
        EXPECT_TRUE(IsValidTenantName(good)) << good;
    for (const wchar_t* bad : {L"", L"-a", L"a-", L"a.b", L"a/b", L"a b", L"a:80", L"a\r\nX: y", L"\u00e9",
                               L"x1234567890123456789012345678901234567890123456789012345678901234"})
        EXPECT_FALSE(IsValidTenantName(bad)) << bad;
}

TEST(RequestFrame, HeaderTextsAreCutToTheirBuffers) {
    const std::wstring longSession(5000, L's');
    SetAuthHeader(longSession.c_str());
    EXPECT_EQ(GetAuthHeader().size(), 4095u);
    SetAuthHeader(L"");
    EXPECT_TRUE(GetAuthHeader().empty());
}

TEST(RequestFrame, IdsAndJsonTexts) {
    EXPECT_EQ(IdToString(0), L"root");
    EXPECT_EQ(IdToString(18446744073709551615ull), L"18446744073709551615");
    EXPECT_EQ(JsonEscape(L"a\"b\\c\n\x01\u00e9"), L"a\\\"b\\\\c\\n\\u0001\u00e9");
    std::string body;
    EXPECT_EQ(FormatJsonBody(body, L"{ \"name\": \"%s\" }", JsonEscape(L"\u00e9").c_str()), S_OK);
    EXPECT_EQ(body, "{ \"name\": \"\xc3\xa9\" }");
    const std::wstring huge(5000, L'x');
    EXPECT_LT(FormatJsonBody(body, L"{ \"name\": \"%s\" }", huge.c_str()), 0);
}

TEST(FileTransferNames, MimeTypes) {
    struct Case {
        const wchar_t* name;
        const wchar_t* type;
    } cases[] = {
        {L"a.JPG", L"image/jpeg"}, {L"a.jpeg", L"image/jpeg"}, {L"b.png", L"image/png"},
        {L"c.Bmp", L"image/bmp"},  {L"d.gif", L"image/gif"},   {L"e.mpg", L"video/mpeg"},
        {L"f.mp4", L"video/mp4"},  {L"g.mov", L"video/quicktime"}, {L"h.avi", L"video/x-msvideo"},
        {L"i.wmv", L"video/x-ms-wmv"}, {L"x.tar.gz", L"application/octet-stream"},
        {L"noext", L"application/octet-stream"}, {L"png", L"application/octet-stream"},
    };
    for (const Case& c : cases) EXPECT_STREQ(GetMimeType(c.name), c.type) << c.name;
}

TEST(FileTransferNames, FilenameHeaderEscaping) {
    struct Case {
        const wchar_t* name;
        const wchar_t* escaped;
    } cases[] = {
        {L"a b%.txt", L"a%20b%25.txt"},
        {L"\u00e9", L"%c3%a9"},
        {L"plain-name_1.(x)~!*'", L"plain-name_1.(x)~!*'"},
        {L"\"#$&+,;<=>?@[\\]^`{|}", L"%22%23%24%26%2b%2c%3b%3c%3d%3e%3f%40%5b%5c%5d%5e%60%7b%7c%7d"},
        {L"", L""},
    };
    for (const Case& c : cases) EXPECT_EQ(EscapeFileName(c.name), c.escaped) << c.name;
}

TEST(FileTransferNames, SessionPartsMustTileTheFile) {
    auto session = [](std::initializer_list<UploadPartInfo> parts) {
        UploadSessionInfo s;
        s.parts.assign(parts);
        return s;
    };
    const uint64_t size = 0x180000000ull;  // 6 GiB / 4
    struct Case {
        const char* what;
        UploadSessionInfo session;
        uint64_t size;
        bool valid;
    } cases[] = {
        {"two parts", session({{1, 0, 0xC0000000LL}, {2, 0xC0000000LL, 0xC0000000LL}}), size, true},
        {"answer order does not matter", session({{2, 0xC0000000LL, 0xC0000000LL}, {1, 0, 0xC0000000LL}}), size, true},
        {"no parts for an empty file", session({}), 0, true},
        {"no parts for a non-empty file", session({}), size, false},
        {"negative offset", session({{1, -1, 0x180000001LL}}), size, false},
        {"beyond the end", session({{1, 0, 0xC0000000LL}, {2, 0xC0000000LL, 0xC0000001LL}}), size, false},
        {"over 32 bits", session({{1, 0, 0x100000000LL}, {2, 0x100000000LL, 0x80000000LL}}), size, false},
        {"gap", session({{1, 0, 0xC0000000LL}, {2, 0xC0000001LL, 0xBFFFFFFFLL}}), size, false},
        {"overlap", session({{1, 0, 0xC0000000LL}, {2, 0xBFFFFFFFLL, 0xC0000001LL}}), size, false},
        {"empty part", session({{1, 0, 0}, {2, 0, 0xC0000000LL}, {3, 0xC0000000LL, 0xC0000000LL}}), size, false},
        {"part number beyond 32 bits", session({{0x100000000LL, 0, 0xC0000000LL}, {2, 0xC0000000LL, 0xC0000000LL}}), size, false},
    };
    for (const Case& c : cases) EXPECT_EQ(ArePartsValid(c.session, c.size), c.valid) << c.what;
}
