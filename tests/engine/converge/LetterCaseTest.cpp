// Names that differ only in letter case: one item renamed so on one side,
// and two drive items that a local folder cannot hold side by side.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "BrelioSync/SyncItem.h"
#include "TwoSidedTest.h"

using namespace brelio::test;

namespace {

const ExpectedTree kStart = {{"A", kFolderMark}, {"A/a1.txt", "a1 base"}, {"A/a2.txt", "a2 base"}};

using Change = std::function<void(TwoSidedTest&)>;

struct CaseRename {
    const char* name;
    Change local;
    Change remote;
    ExpectedTree expected;
    std::vector<std::string> written;
};

std::ostream& operator<<(std::ostream& out, const CaseRename& row) { return out << row.name; }

void Nothing(TwoSidedTest&) {}

const CaseRename kCaseRenames[] = {
    {"LocalFileRenamedByCase",
     [](TwoSidedTest& t) { t.LocalMove("A/a1.txt", "A/A1.txt"); },
     Nothing,
     {{"A", kFolderMark}, {"A/A1.txt", "a1 base"}, {"A/a2.txt", "a2 base"}},
     {}},
    {"LocalFileRenamedByCaseAgainstRemoteEdit",
     [](TwoSidedTest& t) { t.LocalMove("A/a1.txt", "A/A1.txt"); },
     [](TwoSidedTest& t) { t.RemoteWrite("A/a1.txt", "a1 remote"); },
     {{"A", kFolderMark}, {"A/A1.txt", "a1 remote"}, {"A/a2.txt", "a2 base"}},
     {"a1 remote"}},
    {"LocalFileEditedAndRenamedByCase",
     [](TwoSidedTest& t) {
         t.LocalWrite("A/a1.txt", "a1 local");
         t.LocalMove("A/a1.txt", "A/A1.txt");
     },
     Nothing,
     {{"A", kFolderMark}, {"A/A1.txt", "a1 local"}, {"A/a2.txt", "a2 base"}},
     {"a1 local"}},
    {"LocalFolderRenamedByCase",
     [](TwoSidedTest& t) { t.LocalMove("A", "a"); },
     Nothing,
     {{"a", kFolderMark}, {"a/a1.txt", "a1 base"}, {"a/a2.txt", "a2 base"}},
     {}},
    {"RemoteFileRenamedByCase",
     Nothing,
     [](TwoSidedTest& t) { t.RemoteRename("A/a1.txt", "A1.txt"); },
     {{"A", kFolderMark}, {"A/A1.txt", "a1 base"}, {"A/a2.txt", "a2 base"}},
     {}},
    {"RemoteFileRenamedByCaseAgainstLocalEdit",
     [](TwoSidedTest& t) { t.LocalWrite("A/a1.txt", "a1 local"); },
     [](TwoSidedTest& t) { t.RemoteRename("A/a1.txt", "A1.txt"); },
     {{"A", kFolderMark}, {"A/A1.txt", "a1 local"}, {"A/a2.txt", "a2 base"}},
     {"a1 local"}},
    {"RemoteFolderRenamedByCase",
     Nothing,
     [](TwoSidedTest& t) { t.RemoteRename("A", "a"); },
     {{"a", kFolderMark}, {"a/a1.txt", "a1 base"}, {"a/a2.txt", "a2 base"}},
     {}},
    // Renamed differently on both sides: the drive's name is kept.
    {"FileRenamedByCaseDifferentlyOnBothSides",
     [](TwoSidedTest& t) { t.LocalMove("A/a1.txt", "A/A1.txt"); },
     [](TwoSidedTest& t) { t.RemoteRename("A/a1.txt", "a1.TXT"); },
     {{"A", kFolderMark}, {"A/a1.TXT", "a1 base"}, {"A/a2.txt", "a2 base"}},
     {}},
};

class LetterCaseRename : public TwoSidedTest, public ::testing::WithParamInterface<CaseRename> {};

TEST_P(LetterCaseRename, ReachesTheOtherSide) {
    const CaseRename& row = GetParam();
    ASSERT_NO_FATAL_FAILURE(StartSynced(kStart));
    ASSERT_NO_FATAL_FAILURE(row.local(*this));
    ASSERT_NO_FATAL_FAILURE(row.remote(*this));
    bool convergedAfterPartials = false;
    RunPasses(&convergedAfterPartials);
    EXPECT_TRUE(Converged());
    EXPECT_TRUE(Kept(row.written));
    EXPECT_TRUE(Holds(row.expected));
    EXPECT_TRUE(convergedAfterPartials) << "the partial passes alone should have settled it";
}

INSTANTIATE_TEST_SUITE_P(Cases, LetterCaseRename, ::testing::ValuesIn(kCaseRenames),
                         [](const ::testing::TestParamInfo<CaseRename>& info) { return info.param.name; });

// A drive that tells names apart by letter case may hold two items whose
// names differ only so; a local folder holds one of them. The first one
// to take the name keeps it; the other is refused, reported and never
// written on either side: no conflict copies, no content swapped.
enum class FirstPass { Partial, Full };

struct CaseTwins {
    const char* name;
    ExpectedTree start;
    Change remote;
    FirstPass first;
    ExpectedTree local;
    ExpectedTree drive;
    const wchar_t* refused;
};

std::ostream& operator<<(std::ostream& out, const CaseTwins& row) { return out << row.name; }

const CaseTwins kCaseTwins[] = {
    {"ANewTwinOfASyncedFileInThePartialPass",
     {{"A", kFolderMark}, {"A/x.txt", "lower"}},
     [](TwoSidedTest& t) { t.RemoteWrite("A/X.txt", "upper"); },
     FirstPass::Partial,
     {{"A", kFolderMark}, {"A/x.txt", "lower"}},
     {{"A", kFolderMark}, {"A/x.txt", "lower"}, {"A/X.txt", "upper"}},
     L"X.txt"},
    {"ANewTwinOfASyncedFileInTheFullSync",
     {{"A", kFolderMark}, {"A/x.txt", "lower"}},
     [](TwoSidedTest& t) { t.RemoteWrite("A/X.txt", "upper"); },
     FirstPass::Full,
     {{"A", kFolderMark}, {"A/x.txt", "lower"}},
     {{"A", kFolderMark}, {"A/x.txt", "lower"}, {"A/X.txt", "upper"}},
     L"X.txt"},
    {"TwoNewTwinsInThePartialPass",
     {{"A", kFolderMark}},
     [](TwoSidedTest& t) {
         t.RemoteWrite("A/x.txt", "lower");
         t.RemoteWrite("A/X.txt", "upper");
     },
     FirstPass::Partial,
     {{"A", kFolderMark}, {"A/x.txt", "lower"}},
     {{"A", kFolderMark}, {"A/x.txt", "lower"}, {"A/X.txt", "upper"}},
     L"X.txt"},
    {"TwoNewTwinsInTheFullSync",
     {{"A", kFolderMark}},
     [](TwoSidedTest& t) {
         t.RemoteWrite("A/x.txt", "lower");
         t.RemoteWrite("A/X.txt", "upper");
     },
     FirstPass::Full,
     {{"A", kFolderMark}, {"A/x.txt", "lower"}},
     {{"A", kFolderMark}, {"A/x.txt", "lower"}, {"A/X.txt", "upper"}},
     L"X.txt"},
    {"ATwinListedBeforeTheSyncedFileInTheFullSync",
     {{"A", kFolderMark}, {"A/x.txt", "lower"}},
     [](TwoSidedTest& t) {
         t.RemoteWrite("A/X.txt", "upper");
         // Moved within its folder: the drive lists it after the twin now.
         t.RemoteMove("A/x.txt", "A");
     },
     FirstPass::Full,
     {{"A", kFolderMark}, {"A/x.txt", "lower"}},
     {{"A", kFolderMark}, {"A/x.txt", "lower"}, {"A/X.txt", "upper"}},
     L"X.txt"},
    {"ALocalEditAgainstANewTwinInThePartialPass",
     {{"A", kFolderMark}, {"A/x.txt", "lower"}},
     [](TwoSidedTest& t) {
         t.LocalWrite("A/x.txt", "lower, edited here");
         t.RecordLocalChanges();
         t.RemoteWrite("A/X.txt", "upper");
     },
     FirstPass::Partial,
     {{"A", kFolderMark}, {"A/x.txt", "lower, edited here"}},
     {{"A", kFolderMark}, {"A/x.txt", "lower, edited here"}, {"A/X.txt", "upper"}},
     L"X.txt"},
    {"AFolderTwinOfASyncedFileInThePartialPass",
     {{"A", kFolderMark}, {"A/x", "lower"}},
     [](TwoSidedTest& t) { t.RemoteWrite("A/X/in.txt", "inside"); },
     FirstPass::Partial,
     {{"A", kFolderMark}, {"A/x", "lower"}},
     {{"A", kFolderMark}, {"A/x", "lower"}, {"A/X", kFolderMark}, {"A/X/in.txt", "inside"}},
     L"X"},
};

class LetterCaseTwins : public TwoSidedTest, public ::testing::WithParamInterface<CaseTwins> {
protected:
    // What the drive holds, as a tree of the test's contents.
    ::testing::AssertionResult DriveHolds(const ExpectedTree& expected) {
        DriveTree want;
        for (const auto& [path, content] : expected) want[path] = content == kFolderMark ? kFolderMark : Known(content);
        const DriveTree remote = RemoteState();
        if (remote == want) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "the drive holds:\n" << Describe(remote) << "expected:\n" << Describe(want);
    }
};

TEST_P(LetterCaseTwins, KeepTheFirstAndRefuseTheOther) {
    const CaseTwins& row = GetParam();
    ASSERT_NO_FATAL_FAILURE(StartSynced(row.start));
    Json::Value config;
    config["session"] = m_account.session;
    config["caseSensitiveNames"] = true;
    ControlPost("/config", config);
    ASSERT_NO_FATAL_FAILURE(row.remote(*this));
    if (row.first == FirstPass::Partial)
        m_engine.RunPartialPass();
    else
        m_engine.FullSync();
    EXPECT_GE(CountItems(Items(), SYNC_ITEM_FAILED, row.refused), 1u) << "the other one is reported";
    EXPECT_TRUE(Holds(row.local));
    EXPECT_TRUE(DriveHolds(row.drive));
    // However many passes follow.
    RunPasses();
    EXPECT_TRUE(Holds(row.local));
    EXPECT_TRUE(DriveHolds(row.drive));
}

INSTANTIATE_TEST_SUITE_P(Cases, LetterCaseTwins, ::testing::ValuesIn(kCaseTwins),
                         [](const ::testing::TestParamInfo<CaseTwins>& info) { return info.param.name; });

}  // namespace
