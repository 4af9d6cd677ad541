// The whole update across its three processes: the installed program
// checks and downloads (stage 1), the new program in the work directory
// runs the launcher (stage 2), the launcher installs (stage 3) and the
// installed program starts again.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "BoxAnswerer.h"
#include "BrelioCore/TextConvert.h"
#include "BrelioUpdate/ShellExtRegistration.h"
#include "BrelioUpdate/UpdateIni.h"
#include "BrelioUpdate/UpdateResourceIds.h"
#include "StandinRelease.h"
#include "UpdateFixtures.h"
#include "UpdateFlowTest.h"
#include "UpdateProcesses.h"

namespace brelio::test {
namespace {

class ThreeStages : public UpdateFlowTest {
protected:
    void SetUp() override {
        UpdateFlowTest::SetUp();
        m_install = MakeInstallation();
    }

    // Stage 1 as the installed program runs it; its exit code.
    DWORD CheckFromInstallation(const std::wstring& extra = L"") {
        return RunProgram(m_install + L"\\BrelioDrive.exe", L"-CheckUpdate 1" + extra);
    }

    // The installation is the new version, with nothing of the install
    // left beside its files.
    void ExpectNewVersionInstalled() {
        EXPECT_TRUE(HasSameFiles(FixturePath(L"payload"), m_install));
        EXPECT_TRUE(FileExists(m_install + L"\\keep.txt"));
        for (const std::wstring& file : ListFiles(m_install))
            EXPECT_EQ(file.find(L".BrelioUpdate-"), std::wstring::npos) << WideToUtf8(file);
        std::wstring extension;
        EXPECT_TRUE(ReadShellExtensionPath(extension));
        EXPECT_EQ(extension, m_install + L"\\BrelioShellExt.dll");
    }

    std::wstring m_install;
};

TEST_F(ThreeStages, AMinorUpdateIsAskedForThenInstalledAndTheProgramRestarts) {
    OfferUpdate(WideToUtf8(kNewVersion));
    const CReport report(m_scratch / L"report.txt");
    const CBoxAnswerer boxes({IDYES});
    const CLogWatch log;

    EXPECT_EQ(CheckFromInstallation(), 0u);
    EXPECT_EQ(report.WaitForLine("check"), "check 0x00000000 0");
    EXPECT_EQ(report.WaitForLine("apply"), "apply 0x00000000 0");
    EXPECT_EQ(report.WaitForLine("start"), "start 0x00000000 0");

    ExpectNewVersionInstalled();
    EXPECT_EQ(boxes.Texts(), std::vector<std::wstring>{UpdateStringWith(IDS_UPDATE_MINOR, kNewVersion)});
    EXPECT_NE(log.NewText().find("BrelioUpdate.dll is up to date."), std::string::npos);

    const std::vector<std::wstring> workDirs = NewWorkDirs();
    ASSERT_EQ(workDirs.size(), 1u);
    EXPECT_EQ(GetIniValue(workDirs[0], L"VERSION"), kNewVersion);
    EXPECT_EQ(GetIniValue(workDirs[0], L"InstallDir"), m_install);
    EXPECT_TRUE(HasSameFiles(FixturePath(L"payload"), workDirs[0])) << "the cabinet extracted whole";
}

TEST_F(ThreeStages, AMajorUpdateIsAnnouncedAndInstalled) {
    OfferUpdate("2.1.0.0");
    const CReport report(m_scratch / L"report.txt");
    const CBoxAnswerer boxes({IDOK});

    EXPECT_EQ(CheckFromInstallation(), 0u);
    EXPECT_EQ(report.WaitForLine("apply"), "apply 0x00000000 0");
    EXPECT_EQ(report.WaitForLine("start"), "start 0x00000000 0");
    ExpectNewVersionInstalled();
    EXPECT_EQ(boxes.Texts(), std::vector<std::wstring>{UpdateStringWith(IDS_UPDATE_MAJOR, L"2.1.0.0")});
}

TEST_F(ThreeStages, NothingIsReplacedWhileTheStartingProgramRuns) {
    OfferUpdate(WideToUtf8(kNewVersion));
    const CReport report(m_scratch / L"report.txt");
    const CBoxAnswerer boxes({IDYES});
    const CLogWatch log;
    // Stage 1's program lingers after its check, as a slow exit would.
    const std::wstring linger = UniqueEventName(L"BrelioLinger");
    UniqueKernelHandle lingerEvent(::CreateEventW(nullptr, TRUE, FALSE, linger.c_str()));
    CProgram stage1;
    ASSERT_TRUE(stage1.Start(m_install + L"\\BrelioDrive.exe", L"-CheckUpdate 1 " + linger));

    EXPECT_TRUE(log.WaitFor("BrelioDrive.exe to exit."));
    EXPECT_TRUE(AreSameTrees(FixturePath(L"installed"), m_install));
    ::SetEvent(lingerEvent.Get());
    EXPECT_EQ(stage1.Wait(), 0u);
    EXPECT_EQ(report.WaitForLine("apply"), "apply 0x00000000 0");
    ExpectNewVersionInstalled();
}

TEST_F(ThreeStages, AStartRemovesWhatAnEarlierInstallLeftBeside) {
    // Copies an earlier install could not remove while they were in use,
    // and one whose file is gone: it may be the only copy left.
    for (const wchar_t* name : {L"BrelioShellExt.dll.BrelioUpdate-old", L"BrelioShellExt.dll.BrelioUpdate-old-1",
                                L"notes.txt.BrelioUpdate-new", L"lost.txt.BrelioUpdate-old"})
        ASSERT_TRUE(WriteFileBytes(m_install + L"\\" + name, "left behind"));
    OfferUpdate(WideToUtf8(kOldVersion));
    const CBoxAnswerer boxes;

    EXPECT_EQ(CheckFromInstallation(), 1u);
    std::vector<std::wstring> expected = ListFiles(FixturePath(L"installed"));
    expected.push_back(L"lost.txt.BrelioUpdate-old");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(ListFiles(m_install), expected);
    EXPECT_TRUE(boxes.Texts().empty());
}

TEST_F(ThreeStages, CancellingWhileTheOverlayLibraryIsInUseKeepsTheOldInstallation) {
    OfferUpdate(WideToUtf8(kNewVersion));
    CFileHolder explorer;
    ASSERT_TRUE(explorer.Hold(m_install + L"\\BrelioIconOverlay.dll"));
    const CReport report(m_scratch / L"report.txt");
    // Yes to the update, Cancel at the overlay library, then the failure
    // told once by the launcher and once by stage 2.
    const CBoxAnswerer boxes({IDYES, IDCANCEL, IDOK, IDOK});

    EXPECT_EQ(CheckFromInstallation(), 0u);
    EXPECT_EQ(report.WaitForLine("apply"), "apply 0x80074004 0");
    EXPECT_TRUE(explorer.Release());
    EXPECT_EQ(boxes.Texts(), (std::vector<std::wstring>{UpdateStringWith(IDS_UPDATE_MINOR, kNewVersion),
                                                        UpdateString(IDS_UPDATE_FOLDER_IN_USE),
                                                        UpdateString(IDS_UPDATE_FAILED), UpdateString(IDS_UPDATE_FAILED)}));
    EXPECT_EQ(report.WaitForLine("start", 0), "");
    EXPECT_TRUE(AreSameTrees(FixturePath(L"installed"), m_install));
    EXPECT_NE(report.WaitForLine("run", 60000), "") << "the old installation runs again";
}

}  // namespace
}  // namespace brelio::test
