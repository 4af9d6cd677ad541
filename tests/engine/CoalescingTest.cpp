#include <gtest/gtest.h>

#include <string>

#include "BrelioSync/ChangeCoalescing.h"

namespace {

ChangeRecord Change(const wchar_t* name, int32_t action, uint64_t fileId = 0, bool isFolder = false) {
    ChangeRecord change;
    change.name = name;
    change.action = action;
    change.file_id = fileId;
    change.is_folder = isFolder;
    return change;
}

struct MergeCase {
    int32_t tail;
    int32_t next;
    int32_t merged;  // 0: no merge
};

void PrintTo(const MergeCase& c, std::ostream* os) { *os << c.tail << " then " << c.next; }

class MergeTable : public ::testing::TestWithParam<MergeCase> {};

TEST_P(MergeTable, ActionsOfTheSameItem) {
    const MergeCase c = GetParam();
    int32_t merged = 0;
    const bool merges = CanMergeChanges(Change(L"a.txt", c.tail), Change(L"A.TXT", c.next), merged);
    EXPECT_EQ(merges, c.merged != 0);
    if (merges) {
        EXPECT_EQ(merged, c.merged);
    }
}

INSTANTIATE_TEST_SUITE_P(EveryPair, MergeTable,
                         ::testing::Values(MergeCase{1, 1, 0}, MergeCase{1, 2, 2}, MergeCase{1, 3, 3},
                                           MergeCase{1, 4, 0}, MergeCase{2, 1, 3}, MergeCase{2, 2, 3},
                                           MergeCase{2, 3, 3}, MergeCase{2, 4, 3}, MergeCase{3, 1, 0},
                                           MergeCase{3, 2, 0}, MergeCase{3, 3, 3}, MergeCase{3, 4, 0},
                                           MergeCase{4, 1, 0}, MergeCase{4, 2, 0}, MergeCase{4, 3, 0},
                                           MergeCase{4, 4, 0}),
                         [](const auto& info) {
                             return "Tail" + std::to_string(info.param.tail) + "Next" + std::to_string(info.param.next);
                         });

TEST(CanMergeChanges, NeedsTheSameItem) {
    int32_t merged = 0;
    EXPECT_FALSE(CanMergeChanges(Change(L"a.txt", 3), Change(L"b.txt", 3), merged)) << "other name";
    EXPECT_FALSE(CanMergeChanges(Change(L"a", 3, 0, true), Change(L"a", 3, 0, false), merged)) << "other kind";
    EXPECT_FALSE(CanMergeChanges(Change(L"a.txt", 3, 5), Change(L"a.txt", 3, 6), merged)) << "other id";
    EXPECT_FALSE(CanMergeChanges(Change(L"a.txt", 3, 5), Change(L"a.txt", 3, 0), merged)) << "id given, none after";
    EXPECT_TRUE(CanMergeChanges(Change(L"a.txt", 3, 0), Change(L"a.txt", 3, 6), merged)) << "no id yet";
}

TEST(CoalesceLocalChanges, FoldsOnlyIntoTheLastRecord) {
    ChangeRecordList changes{Change(L"new.txt", 1), Change(L"new.txt", 2),      // added, removed: removal
                             Change(L"x.txt", 2), Change(L"x.txt", 1),          // removed, added: modification
                             Change(L"m.txt", 3), Change(L"m.txt", 3, 4),       // two modifications: one
                             Change(L"m.txt", 4),                               // a rename stays apart
                             Change(L"a", 3), Change(L"b", 3), Change(L"a", 3)};  // A, B, A stays three
    const ChangeRecordList coalesced = CoalesceLocalChanges(changes);
    ASSERT_EQ(coalesced.size(), 7u);
    EXPECT_EQ(coalesced[0].action, 2);
    EXPECT_EQ(coalesced[1].action, 3);
    EXPECT_EQ(coalesced[2].action, 3);
    EXPECT_EQ(coalesced[2].file_id, 4u) << "the merged record takes the id it lacked";
    EXPECT_EQ(coalesced[3].action, 4);
    EXPECT_EQ(coalesced[4].name, L"a");
    EXPECT_EQ(coalesced[5].name, L"b");
    EXPECT_EQ(coalesced[6].name, L"a");
}

}  // namespace
