// Names that differ only in letter case: one item renamed so on one side.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

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

}  // namespace
