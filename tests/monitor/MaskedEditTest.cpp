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
    std::vector<FileRow> files;
};

void PrintTo(const MaskedEdit& edit, std::ostream* out) { *out << edit.title; }

class MaskedEdits : public StorageUpdateTest, public ::testing::WithParamInterface<MaskedEdit> {};

TEST_P(MaskedEdits, AreRecordedOnceThePathIsNoLongerMasked) {
    Seed(GetParam().rows);
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
                   {SyncedFile(7, L"a.txt")},
                   {{'w', L"a.txt", L"old"}},
                   L"a.txt",
                   {{'w', L"a.txt", L"from the drive"}},
                   {{'w', L"a.txt", L"the user's edit"}},
                   {{L"a.txt", 3, 7}},
                   {{L"a.txt", 7, 2}}},
        MaskedEdit{"ADownloadAlone",
                   {SyncedFile(7, L"a.txt")},
                   {{'w', L"a.txt", L"old"}},
                   L"a.txt",
                   {{'w', L"a.txt", L"from the drive"}},
                   {},
                   {},
                   {{L"a.txt", 7, 1}}},
        MaskedEdit{"RemovedAfterADownload",
                   {SyncedFile(7, L"a.txt")},
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

}  // namespace
}  // namespace brelio::test
