// Cabinets made by gcab at test time from files of this run.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "BrelioUpdate/CabinetExtractor.h"
#include "BrelioUpdate/UpdateManager.h"
#include "TempFolder.h"
#include "UpdateFixtures.h"

namespace brelio::test {
namespace {

// Remembers every progress report.
class CProgressRecorder : public IJXProgressCallback {
public:
    bool IsCancelled() override { return false; }
    int OnProgress(ULONGLONG done, ULONGLONG total, const wchar_t* name) override {
        EXPECT_EQ(done, 0u);
        EXPECT_EQ(total, 0u);
        calls.push_back(name ? name : L"<none>");
        return 0;
    }
    std::vector<std::wstring> calls;
};

class CabinetExtractor : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_scratch.Create());
        // Names outside ASCII on the way to the cabinet and to the files.
        m_destination = m_scratch / L"\uD574\uC81C \u00FC";
        ASSERT_TRUE(::CreateDirectoryW(m_destination.c_str(), nullptr));
    }

    HRESULT Extract(const std::wstring& cabinet, IJXProgressCallback* owner = nullptr) {
        CCabinetExtractor extractor(owner, FixturePath(L"extract\\" + cabinet));
        return extractor.Extract(m_destination);
    }

    CTempFolder m_scratch;
    std::wstring m_destination;
};

TEST_F(CabinetExtractor, RootAndFirstLevelFoldersExtractWhole) {
    CProgressRecorder progress;
    ASSERT_EQ(Extract(L"layout.cab", &progress), S_OK);
    EXPECT_TRUE(AreSameTrees(FixturePath(L"extract\\layout"), m_destination));

    // One report before anything, then each file's name as it starts and
    // a report without name as it closes.
    const std::vector<std::wstring> files = ListFiles(FixturePath(L"extract\\layout"));
    ASSERT_EQ(progress.calls.size(), 1 + 2 * files.size());
    EXPECT_EQ(progress.calls[0], L"<none>");
    std::vector<std::wstring> names;
    for (size_t i = 1; i < progress.calls.size(); i += 2) {
        names.push_back(progress.calls[i]);
        EXPECT_EQ(progress.calls[i + 1], L"<none>");
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, files);
}

TEST_F(CabinetExtractor, ACabinetInAFolderOutsideTheCodePageOpens) {
    const std::wstring folder = m_scratch / L"\uCE90\uBE44\uB2DB \u30AD\u30E3\u30D3";
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
    const std::wstring cabinet = folder + L"\\BrelioUpdate.cab";
    ASSERT_TRUE(::CopyFileW(FixturePath(L"extract\\layout.cab").c_str(), cabinet.c_str(), FALSE));
    CCabinetExtractor extractor(nullptr, cabinet);
    ASSERT_EQ(extractor.Extract(m_destination), S_OK);
    EXPECT_TRUE(AreSameTrees(FixturePath(L"extract\\layout"), m_destination));
}

TEST_F(CabinetExtractor, ExistingFilesAreReplaced) {
    ASSERT_TRUE(WriteFileBytes(m_destination + L"\\root.txt", "an older root file that is longer\r\n"));
    ASSERT_EQ(Extract(L"layout.cab"), S_OK);
    EXPECT_EQ(ReadFileBytes(m_destination + L"\\root.txt"), ReadFileBytes(FixturePath(L"extract\\layout\\root.txt")));
}

TEST_F(CabinetExtractor, ATwoLevelPathWithoutItsUpperFolderFails) {
    EXPECT_EQ(Extract(L"two-level.cab"), E_FAIL);
    EXPECT_TRUE(ListFiles(m_destination).empty());
}

TEST_F(CabinetExtractor, WithoutOwnerNothingIsReportedOrPumped) {
    // The manager as owner takes the thread's pending messages; without an
    // owner they stay queued.
    ASSERT_TRUE(::PostThreadMessageW(::GetCurrentThreadId(), WM_APP + 7, 0, 0));
    ASSERT_EQ(Extract(L"layout.cab"), S_OK);
    MSG message;
    EXPECT_TRUE(::PeekMessageW(&message, nullptr, WM_APP + 7, WM_APP + 7, PM_REMOVE));

    RemoveTree(m_destination);
    ASSERT_TRUE(::CreateDirectoryW(m_destination.c_str(), nullptr));
    ASSERT_TRUE(::PostThreadMessageW(::GetCurrentThreadId(), WM_APP + 7, 0, 0));
    CUpdateManager manager;
    ASSERT_EQ(Extract(L"layout.cab", &manager), S_OK);
    EXPECT_FALSE(::PeekMessageW(&message, nullptr, WM_APP + 7, WM_APP + 7, PM_REMOVE));
}

TEST_F(CabinetExtractor, UnsafeNamesAreRefusedAndNothingOfThemIsWritten) {
    wchar_t current[MAX_PATH] = L"";
    ::GetCurrentDirectoryW(MAX_PATH, current);
    const std::wstring places[] = {m_scratch.Path(), L"C:", current, m_destination};
    for (const wchar_t* unsafe : {L"parent", L"nested-parent", L"absolute", L"drive-relative", L"leading-backslash",
                                  L"leading-slash", L"stream", L"device", L"device-superscript", L"backup",
                                  L"staged"}) {
        SCOPED_TRACE(::testing::PrintToString(std::wstring(unsafe)));
        EXPECT_EQ(Extract(std::wstring(L"unsafe-") + unsafe + L".cab"), E_FAIL);
        EXPECT_TRUE(ListFiles(m_destination).empty());
        for (const std::wstring& place : places) EXPECT_FALSE(FileExists(place + L"\\brelio-escaped.txt")) << place;
    }
}

}  // namespace
}  // namespace brelio::test
