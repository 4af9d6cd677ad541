// Stage 1's export inside a running program, up to where it would start
// the next stage: what the user is shown and what is left behind.
#include <windows.h>

#include <gtest/gtest.h>

#include "BoxAnswerer.h"
#include "BrelioCore/TextConvert.h"
#include "BrelioUpdate/CheckUpdateModes.h"
#include "BrelioUpdate/UpdateResourceIds.h"
#include "StandinRelease.h"
#include "UpdateFixtures.h"
#include "UpdateFlowTest.h"

namespace brelio::test {
namespace {

class CheckUpdateExport : public UpdateFlowTest {
protected:
    void SetUp() override {
        UpdateFlowTest::SetUp();
        m_library = ::LoadLibraryW(FixturePath(L"installed\\BrelioUpdate.dll").c_str());
        ASSERT_NE(m_library, nullptr);
        m_checkUpdate = reinterpret_cast<int (*)(int)>(reinterpret_cast<void*>(::GetProcAddress(m_library, "CheckUpdate")));
        ASSERT_NE(m_checkUpdate, nullptr);
    }
    void TearDown() override {
        if (m_library) ::FreeLibrary(m_library);
        UpdateFlowTest::TearDown();
    }

    // Requests the update host saw, by path.
    static std::vector<std::string> RequestedPaths() {
        std::vector<std::string> paths;
        for (const Json::Value& entry : UpdateHostRequests()) paths.push_back(entry["path"].asString());
        return paths;
    }

    HMODULE m_library = nullptr;
    int (*m_checkUpdate)(int) = nullptr;
};

const std::vector<std::string> kManifestOnly = {"/release/drive/win"};

TEST_F(CheckUpdateExport, NoUpdateReturnsOneAndShowsNothing) {
    OfferUpdate(RunningVersionRaised(-1));
    const CBoxAnswerer boxes;
    EXPECT_EQ(m_checkUpdate(kCheckUpdateAtStart), 1);
    EXPECT_TRUE(boxes.Texts().empty());
    EXPECT_TRUE(NewWorkDirs().empty());
}

TEST_F(CheckUpdateExport, DecliningTheQuestionAbortsAndLeavesNoWorkDirectory) {
    const std::string version = RunningVersionRaised(3);
    OfferUpdate(version);
    const CBoxAnswerer boxes({IDNO});
    EXPECT_EQ(m_checkUpdate(kCheckUpdateAtStart), E_ABORT);
    EXPECT_EQ(boxes.Texts(), std::vector<std::wstring>{UpdateStringWith(IDS_UPDATE_MINOR, Utf8ToWide(version))});
    EXPECT_TRUE(NewWorkDirs().empty());
    EXPECT_EQ(RequestedPaths(), kManifestOnly);
}

TEST_F(CheckUpdateExport, APeriodicCheckAsksEvenForAMajorUpdate) {
    const std::string version = RunningVersionRaised(1);
    OfferUpdate(version);
    const CBoxAnswerer boxes({IDNO});
    EXPECT_EQ(m_checkUpdate(kCheckUpdatePeriodic), E_ABORT);
    EXPECT_EQ(boxes.Texts(), std::vector<std::wstring>{UpdateStringWith(IDS_UPDATE_MINOR, Utf8ToWide(version))});
}

TEST_F(CheckUpdateExport, AFailedCheckShowsNothing) {
    const CBoxAnswerer boxes;
    EXPECT_EQ(m_checkUpdate(kCheckUpdateAtStart), E_FAIL);
    EXPECT_TRUE(boxes.Texts().empty());
}

TEST_F(CheckUpdateExport, ACabinetFromOutsideTheServiceIsNeitherOfferedNorFetched) {
    AddReleaseFile("update.cab", FixtureUnixPath("update.cab"));
    SetRelease(RunningVersionRaised(1), ForeignFileLink("update.cab"), "true");
    const CBoxAnswerer boxes;
    EXPECT_EQ(m_checkUpdate(kCheckUpdateAtStart), E_FAIL);
    EXPECT_TRUE(boxes.Texts().empty());
    EXPECT_TRUE(NewWorkDirs().empty());
    EXPECT_EQ(RequestedPaths(), kManifestOnly);
}

TEST_F(CheckUpdateExport, AFailedDownloadIsReported) {
    const std::string version = RunningVersionRaised(3);
    SetRelease(version, ReleaseFileLink("missing.cab"));
    const CBoxAnswerer boxes({IDYES, IDOK});
    EXPECT_EQ(m_checkUpdate(kCheckUpdateAtStart), static_cast<int>(0x80190194)) << "the host's 404";
    EXPECT_EQ(boxes.Texts(), (std::vector<std::wstring>{UpdateStringWith(IDS_UPDATE_MINOR, Utf8ToWide(version)),
                                                        UpdateString(IDS_UPDATE_FAILED)}));
}

}  // namespace
}  // namespace brelio::test
