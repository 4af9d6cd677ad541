#include <gtest/gtest.h>

#include "BrelioCore/JXUri.h"
#include "BrelioCore/WideFormat.h"

TEST(WideFormat, ConversionsHaveTheirWindowsMeaning) {
    std::wstring out;
    ASSERT_TRUE(brelio::FormatWide(out, L"%s|%hs|%llu|%d|%x", L"w\u00e9", "n", 18446744073709551615ull, -5, 0x1a2c));
    EXPECT_EQ(out, L"w\u00e9|n|18446744073709551615|-5|1a2c");
}

TEST(WideFormat, LongOutputIsNotCut) {
    const std::wstring piece(5000, L'x');
    std::wstring out;
    ASSERT_TRUE(brelio::FormatWide(out, L"<%s>", piece.c_str()));
    EXPECT_EQ(out.size(), piece.size() + 2);
}

TEST(JXUri, AppendFormatBuildsRequestPaths) {
    CJXUri uri(L"http://h");
    uri.AppendFormat(L"/changes?latestRevision=%llu&fileId=%llu&size=%d", 5ull, 0ull, 1024);
    uri.AppendFormat(L"/%s/%hs", L"upload-sessions", "s1");
    EXPECT_EQ(uri.Text(), L"http://h/changes?latestRevision=5&fileId=0&size=1024/upload-sessions/s1");
}
