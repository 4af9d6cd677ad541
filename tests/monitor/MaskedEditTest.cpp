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

TEST_P(MaskedEdits, AreRecordedOnceThePathIsNoLongerMasked) {
    SeedRows(GetParam().rows);
    Run(GetParam().before);
    StartThreads();
    {
        CIgnoreScope scope(m_ignoreList, m_root.c_str());
        scope.Ignore(Local(GetParam().masked).c_str());
        Run(GetParam().syncWrite);
        scope.ReleaseAfter(CIgnoreScope::kReleaseDelay);
    }
    Run(GetParam().edit);
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

}  // namespace
}  // namespace brelio::test
