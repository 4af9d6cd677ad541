// The update through the real programs: the installed BrelioDrive.exe,
// started as a person starts it, finds a newer release, the new program
// in the update's work directory installs it with the launcher, and the
// installed program starts again as the new version.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "BoxAnswerer.h"
#include "BrelioCore/JXVersion.h"
#include "BrelioCore/TextConvert.h"
#include "BrelioUpdate/UpdateIni.h"
#include "BrelioUpdate/UpdatePaths.h"
#include "BrelioUpdate/UpdateResourceIds.h"
#include "DriveProcess.h"
#include "LibraryText.h"
#include "StandinRelease.h"
#include "StandinTest.h"
#include "StoredSignIn.h"
#include "UpdateFixtures.h"
#include "UpdateProcesses.h"

namespace brelio::test {
namespace {

// The whole chain: download, three processes, the install.
constexpr DWORD kChainWait = 180000;

class UpdateChain : public StandinTest {
protected:
    void SetUp() override {
        StandinTest::SetUp();
        // The program that starts after the update signs in silently.
        StoreSignIn(m_account, m_folder.Path());
        ClearRelease();
        ClearUpdateHostRequests();
        m_workDirsBefore = ListWorkDirs();
        ASSERT_TRUE(m_scratch.Create());
        m_program = InstallProgram(m_scratch);
    }
    void TearDown() override {
        ClearRelease();
        for (const std::wstring& folder : NewWorkDirs()) RemoveTree(folder);
        RemoveSettings();
        StandinTest::TearDown();
    }

    std::vector<std::wstring> NewWorkDirs() const {
        std::vector<std::wstring> added;
        for (const std::wstring& folder : ListWorkDirs()) {
            if (std::find(m_workDirsBefore.begin(), m_workDirsBefore.end(), folder) == m_workDirsBefore.end())
                added.push_back(folder);
        }
        return added;
    }

    CTempFolder m_scratch;
    std::wstring m_program;

private:
    std::vector<std::wstring> m_workDirsBefore;
};

std::wstring FileVersion(const std::wstring& path) {
    CJXVersion version;
    if (FAILED(version.Load(path.c_str(), true))) return {};
    return VersionText(version);
}

std::vector<std::string> RequestedPaths() {
    std::vector<std::string> paths;
    for (const Json::Value& entry : UpdateHostRequests()) paths.push_back(entry["path"].asString());
    return paths;
}

TEST_F(UpdateChain, AStartWithoutArgumentsInstallsTheNewerReleaseAndTheNewVersionStartsFromTheInstallation) {
    AddReleaseFile("update.cab", FixtureUnixPath("program/update.cab"));
    SetRelease(WideToUtf8(kNewVersion), ReleaseFileLink("update.cab"));
    const std::wstring install = InstallationFolder(m_scratch);
    const CBoxAnswerer boxes({IDYES});
    const CLogWatch log;

    CDriveProcess old(L"", SW_SHOWNORMAL, m_program);
    ASSERT_TRUE(old.Started());
    // It handed over to the next stage and ended.
    EXPECT_EQ(old.ExitCode(kChainWait), 0);

    const std::unique_ptr<CDriveProcess> restarted = CDriveProcess::FindByFrame(kChainWait);
    ASSERT_NE(restarted, nullptr);
    EXPECT_EQ(_wcsicmp(restarted->ImagePath().c_str(), m_program.c_str()), 0) << WideToUtf8(restarted->ImagePath());
    EXPECT_EQ(FileVersion(m_program), kNewVersion);
    EXPECT_TRUE(HasSameFiles(FixturePath(L"program\\payload"), install));
    EXPECT_TRUE(FileExists(install + L"\\keep.txt"));
    EXPECT_EQ(boxes.Texts(), std::vector<std::wstring>{LibraryText(install + L"\\BrelioUpdate.dll", IDS_UPDATE_MINOR,
                                                                    kNewVersion)});

    // Stage 1 started the new program in the work directory, which ran the
    // launcher there and then started the installed program. (The log
    // writes its lines in the ANSI code page.)
    const std::vector<std::wstring> workDirs = NewWorkDirs();
    ASSERT_EQ(workDirs.size(), 1u);
    const std::wstring workDir = workDirs[0];
    for (const std::wstring& started :
         {L"Execute '" + workDir + L"\\BrelioDrive.exe -ApplyUpdate \"" + install + L"\"(0x0).",
          L"Execute '" + workDir + L"\\BrelioLauncher.exe BrelioUpdate.dll UpdateFile(0x0).",
          L"Execute '" + m_program + L" (0x0)."})
        EXPECT_TRUE(log.WaitFor(WideToAnsi(started))) << WideToUtf8(started);
    EXPECT_EQ(GetIniValue(workDir, L"InstallDir"), install);

    // The restarted program checked too, and found itself up to date.
    EXPECT_TRUE(log.WaitFor("Checking update - no update."));
    EXPECT_EQ(RequestedPaths(), (std::vector<std::string>{"/release/drive/win", "/release/drive/files/update.cab",
                                                          "/release/drive/win"}));

    restarted->Exit();
    EXPECT_EQ(restarted->ExitCode(), 1);
}

}  // namespace
}  // namespace brelio::test
