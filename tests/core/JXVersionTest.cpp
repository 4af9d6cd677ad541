#include <gtest/gtest.h>

#include "BrelioCore/JXVersion.h"
#include "BuildConfig.h"

TEST(JXVersion, ParsesDottedText) {
    struct Case {
        const wchar_t* text;
        WORD parts[4];
    } cases[] = {
        {L"1.2.3.4", {1, 2, 3, 4}},
        {L"10.0", {10, 0, 0, 0}},
        {L"65535.0.0.1", {65535, 0, 0, 1}},
        {L"1.2.3.4.5", {0, 0, 0, 0}},
        {L"1..2", {0, 0, 0, 0}},
        {L"1.x", {0, 0, 0, 0}},
        {L"65536", {0, 0, 0, 0}},
        {L"", {0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        WORD parts[4];
        CJXVersion(c.text).GetVersion(parts);
        for (int i = 0; i < 4; ++i) EXPECT_EQ(parts[i], c.parts[i]) << c.text << " part " << i;
    }
}

TEST(JXVersion, ComparesPartByPart) {
    EXPECT_LT(CJXVersion(L"1.2.3.4"), CJXVersion(L"1.2.3.5"));
    EXPECT_LT(CJXVersion(L"1.9.9.9"), CJXVersion(L"2.0.0.0"));
    EXPECT_GT(CJXVersion(L"1.10"), CJXVersion(L"1.9"));
    EXPECT_EQ(CJXVersion(L"1.2"), CJXVersion(L"1.2.0.0"));
}

TEST(JXVersion, LoadsTheModulesOwnVersionResource) {
    CJXVersion version;
    ASSERT_EQ(version.Load(nullptr), S_OK);
    EXPECT_EQ(version, CJXVersion(L"" BRELIO_VERSION_TEXT));
}

TEST(JXVersion, LoadOfAMissingFileFails) {
    CJXVersion version;
    EXPECT_LT(version.Load(L"C:\\no\\such\\module.dll"), 0);
    EXPECT_TRUE(version.IsEmpty());
}
