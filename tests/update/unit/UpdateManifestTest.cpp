// Reading the update manifest.
#include <gtest/gtest.h>

#include "BrelioUpdate/UpdateManifest.h"

namespace {

TEST(UpdateManifest, WellFormedManifestsAreRead) {
    const struct {
        const char* body;
        const wchar_t* version;
        const wchar_t* link;
        bool force;
    } cases[] = {
        {R"({"version": "2.0.0.2", "link-x64": "https://update.brelio.com/a.cab", "force": true})", L"2.0.0.2",
         L"https://update.brelio.com/a.cab", true},
        {R"({"version": "2.0.0.2", "link-x64": "https://update.brelio.com/a.cab"})", L"2.0.0.2",
         L"https://update.brelio.com/a.cab", false},
        {R"({"version": "1.2.3.4", "link-x64": "x", "force": false, "other": [1]})", L"1.2.3.4", L"x", false},
        {R"({"version": "1.2.3.4", "link-x64": "x", "force": 1})", L"1.2.3.4", L"x", true},
        {R"({"version": "1.2.3.4", "link-x64": "x", "force": null})", L"1.2.3.4", L"x", false},
        {R"({"version": "65535.0.10.07", "link-x64": "x"})", L"65535.0.10.07", L"x", false},
        // UTF-8, as JSON is: the link keeps its name.
        {"{\"version\": \"3.0.0.0\", \"link-x64\": \"https://update.brelio.com/\xEB\x93\x9C\xEB\x9D\xBC\xEC\x9D\xB4\xEB\xB8\x8C.cab\"}",
         L"3.0.0.0", L"https://update.brelio.com/\uB4DC\uB77C\uC774\uBE0C.cab", false},
    };
    for (const auto& c : cases) {
        UpdateManifest manifest;
        ASSERT_TRUE(ParseUpdateManifest(c.body, manifest)) << c.body;
        EXPECT_EQ(manifest.version, c.version) << c.body;
        EXPECT_EQ(manifest.link, c.link) << c.body;
        EXPECT_EQ(manifest.force, c.force) << c.body;
    }
}

TEST(UpdateManifest, BrokenManifestsAreRefusedAndChangeNothing) {
    const char* const bodies[] = {
        R"({"version": 2, "link-x64": "x"})",                 // a version that is a number
        R"({"link-x64": "x"})",                               // no version
        R"({"version": "2.0.0.2"})",                          // no link
        R"({"version": "2.0.0.2", "link-x64": 7})",
        R"({"version": "2.0.0.2", "link-x64": ""})",
        R"({"version": "2.0.0.2", "link-x64": "x", "force": "yes"})",
        R"({"version": "2.0.0.2", "link-x64": "x", "force": [true]})",
        R"({"version": "abc", "link-x64": "x"})",
        // Four dotted numbers, nothing else.
        R"({"version": "3", "link-x64": "x"})",
        R"({"version": "2.0.1", "link-x64": "x"})",
        R"({"version": "2.0.0.1.5", "link-x64": "x"})",
        R"({"version": "2..0.1", "link-x64": "x"})",
        R"({"version": "2.0.0.", "link-x64": "x"})",
        R"({"version": "2.0.0.65536", "link-x64": "x"})",
        R"({"version": " 2.0.0.1", "link-x64": "x"})",
        R"({"version": "2.0.0.1 ", "link-x64": "x"})",
        R"({"version": "+2.0.0.1", "link-x64": "x"})",
        R"({"version": "2.0.0.1a", "link-x64": "x"})",
        R"({"version": "0.0.0.0", "link-x64": "x"})",
        R"({"version": "", "link-x64": "x"})",
        R"(["2.0.0.2", "x"])",
        R"("2.0.0.2")",
        R"({"version": "2.0.0.2", "link-x64": "x")",
        "",
    };
    for (const char* body : bodies) {
        UpdateManifest manifest;
        manifest.version = L"kept";
        EXPECT_FALSE(ParseUpdateManifest(body, manifest)) << body;
        EXPECT_EQ(manifest.version, L"kept") << body;
    }
}

}  // namespace
