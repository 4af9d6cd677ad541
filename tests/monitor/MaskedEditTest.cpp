#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "BrelioSync/IgnoreScope.h"
#include "StorageFixture.h"

namespace brelio::test {
namespace {

// A write of the sync thread under its scope, then a local edit made at
// once, while the written path is still masked.
struct MaskedEdit {
    const char* title;
    std::vector<FileRecord> rows;
    std::vector<Step> before;  // done before the threads start
    const wchar_t* masked;
    std::vector<Step> syncWrite;
    std::vector<Step> edit;
    std::vector<ChangeRow> changes;
    std::vector<RowSummary> files;
};

void PrintTo(const MaskedEdit& edit, std::ostream* out) { *out << edit.title; }

class MaskedEdits : public StorageUpdateTest, public ::testing::WithParamInterface<MaskedEdit> {};

// Long enough that the edit is made whole under the mask on a loaded
// machine. An edit still going on when the mask ends is an ordinary edit
// after it, which the monitor may tell in two events, each its own row.
constexpr DWORD kMaskOverTheEdit = 3000;

TEST_P(MaskedEdits, AreRecordedOnceThePathIsNoLongerMasked) {
    SeedRows(GetParam().rows);
    Run(GetParam().before);
    StartThreads();
    {
        CIgnoreScope scope(m_ignoreList, m_root.c_str());
        scope.Ignore(Local(GetParam().masked).c_str());
        Run(GetParam().syncWrite);
        scope.ReleaseAfter(kMaskOverTheEdit);
    }
    Run(GetParam().edit);
    if (!GetParam().edit.empty()) {
        ASSERT_TRUE(m_ignoreList.IsIgnored(GetParam().masked)) << "the edit was not made under the mask";
    }
    ASSERT_TRUE(WaitFor([&] { return !m_ignoreList.IsIgnored(GetParam().masked); }));
    StopThreads();
    EXPECT_EQ(Changes(), GetParam().changes);
    EXPECT_EQ(Rows(), GetParam().files);
}

INSTANTIATE_TEST_SUITE_P(
    MaskedEdit, MaskedEdits,
    ::testing::Values(
        MaskedEdit{"EditedAfterADownload",
                   {FileRow(7, L"a.txt")},
                   {{'w', L"a.txt", L"old"}},
                   L"a.txt",
                   {{'w', L"a.txt", L"from the drive"}},
                   {{'w', L"a.txt", L"the user's edit"}},
                   {{L"a.txt", 3, 7}},
                   {{L"a.txt", 7, 2}}},
        MaskedEdit{"ADownloadAlone",
                   {FileRow(7, L"a.txt")},
                   {{'w', L"a.txt", L"old"}},
                   L"a.txt",
                   {{'w', L"a.txt", L"from the drive"}},
                   {},
                   {},
                   {{L"a.txt", 7, 1}}},
        MaskedEdit{"RemovedAfterADownload",
                   {FileRow(7, L"a.txt")},
                   {{'w', L"a.txt", L"old"}},
                   L"a.txt",
                   {{'w', L"a.txt", L"from the drive"}},
                   {{'x', L"a.txt"}},
                   {{L"a.txt", 2, 7}},
                   {{L"a.txt", 7, 1}}},
        MaskedEdit{"MadeAgainAfterADeletion",
                   {},
                   {{'w', L"a.txt", L"old"}},
                   L"a.txt",
                   {{'x', L"a.txt"}},
                   {{'w', L"a.txt", L"new"}},
                   {{L"a.txt", 1, 0}},
                   {}},
        MaskedEdit{"AFolderMadeAlone", {}, {}, L"New", {{'d', L"New"}}, {}, {}, {}}),
    [](const ::testing::TestParamInfo<MaskedEdit>& info) { return info.param.title; });

// Events of a written path that reach the storage-update thread only after
// the path came out of the ignore list, as on a busy machine.
struct LateEvents {
    const char* title;
    std::vector<Step> editWhileMasked;
    std::vector<Step> editAfterwards;
    std::vector<int> late;  // actions queued for the path at the end
    std::vector<ChangeRow> changes;
};

void PrintTo(const LateEvents& events, std::ostream* out) { *out << events.title; }

class LateEventsOfAWrite : public StorageUpdateTest, public ::testing::WithParamInterface<LateEvents> {};

TEST_P(LateEventsOfAWrite, AddNothingToWhatTheComparisonFound) {
    SeedRows({FileRow(7, L"a.txt")});
    Write(L"a.txt", "old");
    StartStorage();
    {
        CIgnoreScope scope(m_ignoreList, m_root.c_str());
        scope.Ignore(Local(L"a.txt").c_str());
        Write(L"a.txt", "from the drive");
        scope.ReleaseAfter(CIgnoreScope::kReleaseDelay);
    }
    Run(GetParam().editWhileMasked);
    ASSERT_TRUE(WaitFor([&] { return !m_ignoreList.IsIgnored(L"a.txt"); }));
    Run(GetParam().editAfterwards);
    for (int action : GetParam().late) Queue(L"a.txt", action);
    m_queue.Signal();
    StopStorage();
    EXPECT_EQ(Changes(), GetParam().changes);
}

INSTANTIATE_TEST_SUITE_P(
    MaskedEdit, LateEventsOfAWrite,
    ::testing::Values(
        LateEvents{"OfTheWriteItself", {}, {}, {1, 3}, {}},
        LateEvents{"OfAnEditWhileMasked", {{'w', L"a.txt", L"the user's edit"}}, {}, {3}, {{L"a.txt", 3, 7}}},
        LateEvents{"OfAnEditAfterwards", {}, {{'w', L"a.txt", L"the user's edit"}}, {3}, {{L"a.txt", 3, 7}}},
        LateEvents{"OfARemovalAfterwards", {}, {{'x', L"a.txt"}}, {2}, {{L"a.txt", 2, 7}}}),
    [](const ::testing::TestParamInfo<LateEvents>& info) { return info.param.title; });

// A local edit made while the sync's own write masks the path, and nothing
// after it: no event of the monitor comes to wake the storage-update
// thread, and only the path coming out of the mask tells of the edit.
TEST_F(StorageUpdateTest, AnEditMaskedByAWriteIsRecordedWhenTheMaskEnds) {
    SeedRows({FileRow(7, L"a.txt")});
    Write(L"a.txt", "old");
    StartStorageWaiting();
    {
        CIgnoreScope scope(m_ignoreList, m_root.c_str());
        scope.Ignore(Local(L"a.txt").c_str());
        Write(L"a.txt", "from the drive");
        scope.ReleaseAfter(CIgnoreScope::kReleaseDelay);
    }
    Write(L"a.txt", "the user's edit, longer");
    EXPECT_TRUE(WaitFor([&] { return Changes() == std::vector<ChangeRow>{{L"a.txt", 3, 7}}; }))
        << "recorded without waiting for another change";
    StopStorage();
    EXPECT_EQ(Rows(), (std::vector<RowSummary>{{L"a.txt", 7, 2}}));
}

// The user's program has made the file again when the mask of the sync's
// removal ends, and writes it only afterwards: the comparison finds the file
// added, and the monitor's later event of the write keeps it an addition.
TEST_F(StorageUpdateTest, AFileMadeAgainAsTheMaskEndsAndWrittenAfterStaysAnAddition) {
    Write(L"a.txt", "old");
    StartStorageWaiting();
    {
        CIgnoreScope scope(m_ignoreList, m_root.c_str());
        scope.Ignore(Local(L"a.txt").c_str());
        Remove(L"a.txt");
        scope.ReleaseAfter(CIgnoreScope::kReleaseDelay);
    }
    Write(L"a.txt", "");
    ASSERT_TRUE(WaitFor([&] { return LogText().find("changed while the sync's own write masked it") != std::string::npos; }))
        << "the comparison of the removal never ran";
    Write(L"a.txt", "new");
    Queue(L"a.txt", FILE_ACTION_MODIFIED);
    m_queue.Signal();
    StopStorage();
    EXPECT_EQ(Changes(), (std::vector<ChangeRow>{{L"a.txt", 1, 0}}));
    EXPECT_EQ(Rows(), std::vector<RowSummary>{});
}

// The user moves a written item right after its mask ended, before the
// storage-update thread looked at it; the monitor then reports the move.
// The look finds the item gone, and the move says where it went: the two
// make one rename, never a removal beside it.
struct MovedAfterTheMask {
    const char* title;
    std::vector<FileRecord> rows;
    std::vector<Step> before;    // done before the thread starts
    const wchar_t* masked;       // one path, or the first of a pair
    const wchar_t* maskedOther;  // the second of a pair, or null
    std::vector<Step> syncWrite;
    std::vector<Step> move;  // right after the mask
    std::vector<Queued> events;
    std::vector<ChangeRow> changes;
    std::vector<RowSummary> files;
};

void PrintTo(const MovedAfterTheMask& c, std::ostream* out) { *out << c.title; }

class MovesAfterTheMask : public StorageUpdateTest, public ::testing::WithParamInterface<MovedAfterTheMask> {};

TEST_P(MovesAfterTheMask, AreOneRenameAndNoRemoval) {
    const MovedAfterTheMask& c = GetParam();
    SeedRows(c.rows);
    Run(c.before);
    StartStorageWaiting();
    {
        CIgnoreScope scope(m_ignoreList, m_root.c_str());
        if (c.maskedOther != nullptr)
            scope.IgnorePair(Local(c.masked).c_str(), Local(c.maskedOther).c_str());
        else
            scope.Ignore(Local(c.masked).c_str());
        Run(c.syncWrite);
        scope.ReleaseAfter(CIgnoreScope::kReleaseDelay);
    }
    ASSERT_TRUE(WaitFor([&] { return !m_ignoreList.IsIgnored(c.masked); }));
    Run(c.move);
    for (const Queued& event : c.events) Queue(event.name, event.action, event.isFolder);
    m_queue.Signal();
    StopStorage();
    EXPECT_EQ(Changes(), c.changes);
    EXPECT_EQ(Rows(), c.files);
}

INSTANTIATE_TEST_SUITE_P(
    MaskedEdit, MovesAfterTheMask,
    ::testing::Values(
        MovedAfterTheMask{"FileRenamedAfterADownload",
                          {FileRow(7, L"a.txt")},
                          {{'w', L"a.txt", L"old"}},
                          L"a.txt",
                          nullptr,
                          {{'w', L"a.txt", L"from the drive"}},
                          {{'r', L"a.txt", L"b.txt"}},
                          {{4, L"a.txt"}, {5, L"b.txt"}},
                          {{L"b.txt", 4, 7, L"a.txt"}},
                          {{L"b.txt", 7, 2}}},
        // The engine followed a move made on the drive; the user puts the
        // file back where it was.
        MovedAfterTheMask{"FileMovedBackAfterTheEngineMovedIt",
                          {FileRow(7, L"y.txt")},
                          {{'w', L"x.txt", L"content"}},
                          L"x.txt",
                          L"y.txt",
                          {{'r', L"x.txt", L"y.txt"}},
                          {{'r', L"y.txt", L"x.txt"}},
                          {{4, L"y.txt"}, {5, L"x.txt"}},
                          {{L"x.txt", 4, 7, L"y.txt"}},
                          {{L"x.txt", 7, 2}}},
        MovedAfterTheMask{"FolderRenamedAfterItWasMade",
                          {FolderRow(5, L"F")},
                          {},
                          L"F",
                          nullptr,
                          {{'d', L"F"}},
                          {{'r', L"F", L"G"}},
                          {{4, L"F"}, {5, L"G", true}},
                          {{L"G", 4, 5, L"F"}},
                          {{L"G", 5, 2}}},
        MovedAfterTheMask{"FolderRenamedAfterADownloadInside",
                          {FolderRow(5, L"F"), FileRow(7, L"F\\a.txt")},
                          {{'d', L"F"}, {'w', L"F\\a.txt", L"old"}},
                          L"F\\a.txt",
                          nullptr,
                          {{'w', L"F\\a.txt", L"from the drive"}},
                          {{'r', L"F", L"G"}},
                          {{4, L"F"}, {5, L"G", true}},
                          {{L"G", 4, 5, L"F"}},
                          {{L"G", 5, 2}, {L"G\\a.txt", 7, 1}}}),
    [](const ::testing::TestParamInfo<MovedAfterTheMask>& info) { return info.param.title; });

}  // namespace
}  // namespace brelio::test
