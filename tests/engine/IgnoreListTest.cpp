#include <gtest/gtest.h>

#include "BrelioSync/IgnoreList.h"
#include "BrelioSync/IgnoreScope.h"

namespace {

const wchar_t kRoot[] = L"C:\\Sync";

TEST(IgnoreList, PathsMatchWhateverTheirLetterCase) {
    CIgnoreList list;
    list.Add(L"Docs\\Plan.DOCX");
    EXPECT_TRUE(list.IsIgnored(L"docs\\plan.docx"));
    EXPECT_TRUE(list.IsIgnored(L"DOCS\\PLAN.docx"));
    EXPECT_FALSE(list.IsIgnored(L"docs\\plan.docx.tmp"));
    EXPECT_FALSE(list.IsIgnored(L"docs"));
    list.Remove(L"DOCS\\plan.docx");
    EXPECT_FALSE(list.IsIgnored(L"docs\\plan.docx"));
}

TEST(IgnoreList, EachAddNeedsItsOwnRemove) {
    CIgnoreList list;
    list.Add(L"a.txt");
    list.AddPair(L"a.txt", L"b.txt");
    list.Remove(L"a.txt");
    EXPECT_TRUE(list.IsIgnored(L"a.txt"));
    list.RemovePair(L"a.txt", L"b.txt");
    EXPECT_FALSE(list.IsIgnored(L"a.txt"));
    EXPECT_FALSE(list.IsIgnored(L"b.txt"));
    list.Remove(L"never-added");  // nothing to remove is no error
}

TEST(IgnoreList, AWildcardEntryCoversNamesInItsFolderOnly) {
    CIgnoreList list;
    list.Add(L"Docs\\$$$*.tmp");
    EXPECT_TRUE(list.IsIgnored(L"docs\\$$$A1B2.TMP"));
    EXPECT_TRUE(list.IsIgnored(L"docs\\$$$.tmp"));
    EXPECT_FALSE(list.IsIgnored(L"docs\\sub\\$$$a1.tmp"));
    EXPECT_FALSE(list.IsIgnored(L"docs\\$$$a1.tmp.txt"));
    EXPECT_FALSE(list.IsIgnored(L"other\\$$$a1.tmp"));
    EXPECT_FALSE(list.IsIgnored(L"docs\\plan.txt"));
    list.Remove(L"docs\\$$$*.tmp");
    EXPECT_FALSE(list.IsIgnored(L"docs\\$$$a1b2.tmp"));
}

TEST(IgnoreScope, OverlappingScopesKeepThePathUntilBothRelease) {
    CIgnoreList list;
    CIgnoreScope first(list, kRoot);
    CIgnoreScope second(list, kRoot);
    first.Ignore(L"C:\\Sync\\Docs\\A.txt");
    second.Ignore(L"C:\\Sync\\docs\\a.TXT");
    EXPECT_TRUE(list.IsIgnored(L"docs\\a.txt")) << "held relative to the root";
    EXPECT_EQ(first.ReleaseAfter(0), 0);
    EXPECT_TRUE(list.IsIgnored(L"docs\\a.txt"));
    second.ReleaseAfter(0);
    EXPECT_FALSE(list.IsIgnored(L"docs\\a.txt"));
}

TEST(IgnoreScope, PairIsReleasedTogether) {
    CIgnoreList list;
    CIgnoreScope scope(list, kRoot);
    scope.IgnorePair(L"C:\\Sync\\old.txt", L"C:\\Sync\\sub\\new.txt");
    EXPECT_TRUE(list.IsIgnored(L"old.txt"));
    EXPECT_TRUE(list.IsIgnored(L"sub\\new.txt"));
    const ULONGLONG released = ::GetTickCount64();
    scope.ReleaseAfter(CIgnoreScope::kReleaseDelay);
    // Still masked until the delay has passed, without the caller waiting.
    if (::GetTickCount64() - released < CIgnoreScope::kReleaseDelay / 2) {
        EXPECT_TRUE(list.IsIgnored(L"old.txt"));
        EXPECT_TRUE(list.IsIgnored(L"sub\\new.txt"));
    }
    ::Sleep(CIgnoreScope::kReleaseDelay + 50);
    EXPECT_FALSE(list.IsIgnored(L"old.txt"));
    EXPECT_FALSE(list.IsIgnored(L"sub\\new.txt"));
}

TEST(IgnoreScope, DelayedReleaseKeepsALaterHoldOfTheSamePath) {
    CIgnoreList list;
    CIgnoreScope first(list, kRoot);
    first.Ignore(L"C:\\Sync\\a.txt");
    first.ReleaseAfter(50);
    CIgnoreScope second(list, kRoot);
    second.Ignore(L"C:\\Sync\\a.txt");
    ::Sleep(100);
    EXPECT_TRUE(list.IsIgnored(L"a.txt")) << "the second write still holds it";
    second.ReleaseAfter(0);
    EXPECT_FALSE(list.IsIgnored(L"a.txt"));
}

TEST(IgnoreScope, LeavingEarlyReleasesAtOnce) {
    CIgnoreList list;
    {
        CIgnoreScope scope(list, kRoot);
        scope.Ignore(L"C:\\Sync\\x.bin");
        EXPECT_TRUE(scope.IsArmed());
    }
    EXPECT_FALSE(list.IsIgnored(L"x.bin"));
}

TEST(IgnoreScope, APathOutsideTheRootIsHeldWhole) {
    CIgnoreList list;
    CIgnoreScope scope(list, kRoot);
    scope.Ignore(L"C:\\SyncOther\\x.bin");
    EXPECT_TRUE(list.IsIgnored(L"c:\\syncother\\x.bin"));
    EXPECT_FALSE(list.IsIgnored(L"other\\x.bin"));
}

}  // namespace
