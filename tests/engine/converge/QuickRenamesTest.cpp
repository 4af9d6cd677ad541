// Folders renamed or moved one after another faster than the monitor reads
// the events: by the time it looks, the middle names are gone, so nothing
// tells a folder from a file but what is known of the items.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "TwoSidedTest.h"

using namespace brelio::test;

namespace {

using Change = std::function<void(TwoSidedTest&)>;

struct QuickRenames {
    const char* name;
    ExpectedTree start;
    Change local;
    Change remote;
    ExpectedTree expected;
    std::vector<std::string> written;
};

std::ostream& operator<<(std::ostream& out, const QuickRenames& row) { return out << row.name; }

const QuickRenames kCases[] = {
    {"FolderMovedIntoOneRenamedTwiceWhileTheDriveAddsInside",
     {{"C", kFolderMark}, {"C/c1.txt", "c1 base"}, {"E", kFolderMark}, {"E/e1.txt", "e1 base"}},
     [](TwoSidedTest& t) {
         t.LocalMove("C", "E/C");
         t.LocalMove("E", "E1");
         t.LocalMove("E1", "E2");
     },
     [](TwoSidedTest& t) { t.RemoteWrite("C/new.txt", "new on the drive"); },
     {{"E2", kFolderMark},
      {"E2/e1.txt", "e1 base"},
      {"E2/C", kFolderMark},
      {"E2/C/c1.txt", "c1 base"},
      {"E2/C/new.txt", "new on the drive"}},
     {"c1 base", "e1 base", "new on the drive"}},
    {"FolderRenamedTwiceWhileTheDriveAddsInside",
     {{"A", kFolderMark}, {"A/a1.txt", "a1 base"}, {"A/Sub", kFolderMark}, {"A/Sub/s1.txt", "s1 base"}},
     [](TwoSidedTest& t) {
         t.LocalMove("A", "A1");
         t.LocalMove("A1", "A2");
     },
     [](TwoSidedTest& t) { t.RemoteWrite("A/Sub/new.txt", "new on the drive"); },
     {{"A2", kFolderMark},
      {"A2/a1.txt", "a1 base"},
      {"A2/Sub", kFolderMark},
      {"A2/Sub/s1.txt", "s1 base"},
      {"A2/Sub/new.txt", "new on the drive"}},
     {"a1 base", "s1 base", "new on the drive"}},
    {"SubfolderRenamedAndThenItsFolderRenamed",
     {{"A", kFolderMark}, {"A/Sub", kFolderMark}, {"A/Sub/s1.txt", "s1 base"}},
     [](TwoSidedTest& t) {
         t.LocalMove("A/Sub", "A/Sub1");
         t.LocalMove("A", "B");
     },
     [](TwoSidedTest&) {},
     {{"B", kFolderMark}, {"B/Sub1", kFolderMark}, {"B/Sub1/s1.txt", "s1 base"}},
     {"s1 base"}},
};

class QuickFolderRenames : public TwoSidedTest, public ::testing::WithParamInterface<QuickRenames> {};

TEST_P(QuickFolderRenames, CarryEveryItemInsideAndTrashNothing) {
    const QuickRenames& row = GetParam();
    ASSERT_NO_FATAL_FAILURE(StartSynced(row.start));
    ReadEventsLate();
    ASSERT_NO_FATAL_FAILURE(row.local(*this));
    ASSERT_NO_FATAL_FAILURE(row.remote(*this));
    RunPasses();
    EXPECT_TRUE(Converged());
    EXPECT_TRUE(Kept(row.written));
    EXPECT_TRUE(Holds(row.expected));
}

INSTANTIATE_TEST_SUITE_P(Cases, QuickFolderRenames, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<QuickRenames>& info) { return info.param.name; });

}  // namespace
