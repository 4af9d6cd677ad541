#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "BrelioSync/IgnoreList.h"
#include "BrelioSync/IgnoreScope.h"
#include "TempFolder.h"

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
    // Wine's tick count may trail a sleep by a few of its updates under
    // load: the release is awaited, bounded, rather than timed.
    ::Sleep(CIgnoreScope::kReleaseDelay);
    for (int waited = 0; waited < 2000 && list.IsIgnored(L"old.txt"); waited += 20) ::Sleep(20);
    EXPECT_FALSE(list.IsIgnored(L"old.txt"));
    EXPECT_FALSE(list.IsIgnored(L"sub\\new.txt")) << "released with the other";
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

namespace {

using brelio::test::CTempFolder;
using brelio::test::WriteFileBytes;

// A mask short enough for a test to outwait.
constexpr DWORD kShortMask = 50;

// Paths of a real folder written under a scope, then handed out for
// comparison once the mask is gone.
class WrittenPaths : public ::testing::Test {
public:
    std::wstring Full(const std::wstring& relative) const { return m_folder / relative; }

protected:
    void SetUp() override { ASSERT_TRUE(m_folder.Create()); }
    // Past every mask given so far.
    static void OutwaitMask() { ::Sleep(kShortMask + 50); }
    // The released paths where something else stands than the write left.
    size_t TakeChanged() {
        size_t changed = 0;
        for (const ReleasedWrite& write : m_list.TakeReleasedWrites())
            if (!write.now.SameAs(write.written)) ++changed;
        return changed;
    }

    CTempFolder m_folder;
    CIgnoreList m_list;
};

TEST_F(WrittenPaths, AnEditWhileMaskedIsHandedOutOnceTheMaskIsGone) {
    ASSERT_TRUE(WriteFileBytes(Full(L"a.txt"), "old"));
    CIgnoreScope scope(m_list, m_folder.Path().c_str());
    scope.Ignore(Full(L"A.txt").c_str());
    ASSERT_TRUE(WriteFileBytes(Full(L"a.txt"), "from the drive"));
    const ULONGLONG releasedAt = ::GetTickCount64();
    scope.ReleaseAfter(kShortMask);
    ASSERT_TRUE(WriteFileBytes(Full(L"a.txt"), "the user's edit"));
    if (::GetTickCount64() - releasedAt < kShortMask / 2) {
        EXPECT_TRUE(m_list.TakeReleasedWrites().empty()) << "still masked";
        EXPECT_NE(m_list.TimeToNextRelease(), INFINITE);
    }
    OutwaitMask();
    EXPECT_EQ(m_list.TimeToNextRelease(), 0u);
    const std::vector<ReleasedWrite> released = m_list.TakeReleasedWrites();
    ASSERT_EQ(released.size(), 1u);
    EXPECT_EQ(released[0].fullPath, Full(L"A.txt")) << "the path as the sync thread wrote it";
    EXPECT_EQ(released[0].written.size, 14u);
    EXPECT_EQ(released[0].now.size, 15u);
    EXPECT_FALSE(released[0].now.SameAs(released[0].written));
    EXPECT_TRUE(m_list.TakeReleasedWrites().empty()) << "handed out once";
    EXPECT_EQ(m_list.TimeToNextRelease(), INFINITE);
}

// What the sync thread does under the scope, and what the user does right
// after it, within the mask.
struct WrittenCase {
    const char* title;
    std::function<void(CIgnoreScope&, const WrittenPaths&)> write;
    std::function<void(const WrittenPaths&)> edit;
    size_t changed;
};

void PrintTo(const WrittenCase& c, std::ostream* out) { *out << c.title; }

class WrittenCases : public WrittenPaths, public ::testing::WithParamInterface<WrittenCase> {};

TEST_P(WrittenCases, HandOutOnlyWhatTheWriteDidNotLeave) {
    CIgnoreScope scope(m_list, m_folder.Path().c_str());
    GetParam().write(scope, *this);
    scope.ReleaseAfter(kShortMask);
    if (GetParam().edit) GetParam().edit(*this);
    OutwaitMask();
    EXPECT_EQ(TakeChanged(), GetParam().changed);
}

INSTANTIATE_TEST_SUITE_P(
    IgnoreScope, WrittenCases,
    ::testing::Values(
        WrittenCase{"AWriteLeftAlone",
                    [](CIgnoreScope& scope, const WrittenPaths& t) {
                        scope.Ignore(t.Full(L"a.txt").c_str());
                        ASSERT_TRUE(WriteFileBytes(t.Full(L"a.txt"), "from the drive"));
                    },
                    nullptr, 0},
        WrittenCase{"AFileRemovedAfterItsWrite",
                    [](CIgnoreScope& scope, const WrittenPaths& t) {
                        scope.Ignore(t.Full(L"a.txt").c_str());
                        ASSERT_TRUE(WriteFileBytes(t.Full(L"a.txt"), "from the drive"));
                    },
                    [](const WrittenPaths& t) { ASSERT_TRUE(::DeleteFileW(t.Full(L"a.txt").c_str())); }, 1},
        WrittenCase{"AFileMadeAgainAfterItsDeletion",
                    [](CIgnoreScope& scope, const WrittenPaths& t) {
                        ASSERT_TRUE(WriteFileBytes(t.Full(L"a.txt"), "synced"));
                        scope.Ignore(t.Full(L"a.txt").c_str());
                        ASSERT_TRUE(::DeleteFileW(t.Full(L"a.txt").c_str()));
                    },
                    [](const WrittenPaths& t) { ASSERT_TRUE(WriteFileBytes(t.Full(L"a.txt"), "new")); }, 1},
        WrittenCase{"AFolderFilledAfterItWasMade",
                    [](CIgnoreScope& scope, const WrittenPaths& t) {
                        scope.Ignore(t.Full(L"New").c_str());
                        ASSERT_TRUE(::CreateDirectoryW(t.Full(L"New").c_str(), nullptr));
                    },
                    [](const WrittenPaths& t) { ASSERT_TRUE(WriteFileBytes(t.Full(L"New\\in.txt"), "in")); }, 0},
        WrittenCase{"TheTemporaryFilePatternIsNotCompared",
                    [](CIgnoreScope& scope, const WrittenPaths& t) {
                        scope.IgnorePair(t.Full(L"a.txt").c_str(), t.Full(L"$$$*.tmp").c_str());
                        ASSERT_TRUE(WriteFileBytes(t.Full(L"a.txt"), "from the drive"));
                    },
                    [](const WrittenPaths& t) { ASSERT_TRUE(WriteFileBytes(t.Full(L"$$$1.tmp"), "stray")); }, 0},
        WrittenCase{"AMovedFileEditedAtItsNewName",
                    [](CIgnoreScope& scope, const WrittenPaths& t) {
                        ASSERT_TRUE(WriteFileBytes(t.Full(L"a.txt"), "synced"));
                        scope.IgnorePair(t.Full(L"a.txt").c_str(), t.Full(L"b.txt").c_str());
                        ASSERT_TRUE(::MoveFileW(t.Full(L"a.txt").c_str(), t.Full(L"b.txt").c_str()));
                    },
                    [](const WrittenPaths& t) { ASSERT_TRUE(WriteFileBytes(t.Full(L"b.txt"), "edited")); }, 1}),
    [](const ::testing::TestParamInfo<WrittenCase>& info) { return info.param.title; });

TEST_F(WrittenPaths, APathWrittenAgainIsComparedWithTheLaterWrite) {
    CIgnoreScope first(m_list, m_folder.Path().c_str());
    first.Ignore(Full(L"a.txt").c_str());
    ASSERT_TRUE(WriteFileBytes(Full(L"a.txt"), "first write"));
    first.ReleaseAfter(kShortMask);
    CIgnoreScope second(m_list, m_folder.Path().c_str());
    second.Ignore(Full(L"a.txt").c_str());
    OutwaitMask();
    ASSERT_TRUE(WriteFileBytes(Full(L"a.txt"), "the second write, under way"));
    EXPECT_TRUE(m_list.TakeReleasedWrites().empty()) << "the second write still holds the path";
    second.ReleaseAfter(kShortMask);
    OutwaitMask();
    const std::vector<ReleasedWrite> released = m_list.TakeReleasedWrites();
    ASSERT_EQ(released.size(), 1u);
    EXPECT_TRUE(released[0].now.SameAs(released[0].written)) << "as the second write left it";
}

}  // namespace
