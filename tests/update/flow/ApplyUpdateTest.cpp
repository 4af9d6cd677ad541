// Stage 2 in the new program of a work directory: the launcher's exit code
// through to the program's result, with a stand-in launcher that ends with
// a given code.
#include <windows.h>

#include <gtest/gtest.h>

#include "BoxAnswerer.h"
#include "BrelioCore/TextConvert.h"
#include "BrelioUpdate/ProgramStart.h"
#include "BrelioUpdate/UpdateIni.h"
#include "BrelioUpdate/UpdateResourceIds.h"
#include "UpdateFixtures.h"
#include "UpdateFlowTest.h"
#include "UpdateProcesses.h"

namespace brelio::test {
namespace {

using ApplyUpdateExport = UpdateFlowTest;

TEST_F(ApplyUpdateExport, TheLaunchersExitCodeBecomesTheResult) {
    const struct {
        const char* exitCode;  // null: there is no launcher
        DWORD result;
    } cases[] = {
        {"0", 0},
        {"5", 0x80070005},
        {"4004", 0x80074004},
        {"80004005", 0x80004005},
        {nullptr, 0x80070002},
    };
    for (const auto& c : cases) {
        const std::string name = c.exitCode ? c.exitCode : "no launcher";
        SCOPED_TRACE(name);
        const std::wstring work = m_scratch / (L"work-" + Utf8ToWide(name));
        const std::wstring install = m_scratch / (L"\uC124\uCE58 " + Utf8ToWide(name));
        ASSERT_TRUE(::CreateDirectoryW(work.c_str(), nullptr));
        ASSERT_TRUE(::CreateDirectoryW(install.c_str(), nullptr));
        for (const wchar_t* file : {L"BrelioDrive.exe", L"BrelioUpdate.dll"})
            ASSERT_TRUE(::CopyFileW(FixturePath(std::wstring(L"installed\\") + file).c_str(),
                                    (work + L"\\" + file).c_str(), FALSE));
        if (c.exitCode != nullptr) {
            ASSERT_TRUE(::CopyFileW(TestProgramPath(L"update_exit_with.exe").c_str(),
                                    (work + L"\\BrelioLauncher.exe").c_str(), FALSE));
            ASSERT_TRUE(WriteFileBytes(work + L"\\exit-code.txt", c.exitCode));
        }
        ASSERT_TRUE(::CopyFileW(FixturePath(L"installed\\BrelioDrive.exe").c_str(),
                                (install + L"\\BrelioDrive.exe").c_str(), FALSE));

        const CReport report(m_scratch / L"report.txt");
        bool startedBeforeTheBox = false;
        const CBoxAnswerer boxes({IDOK}, [&](size_t) { startedBeforeTheBox = !report.WaitForLine("run", 0).empty(); });
        EXPECT_EQ(RunProgram(work + L"\\BrelioDrive.exe", L"-ApplyUpdate " + QuotedArgument(install)), c.result);

        EXPECT_EQ(GetIniValue(work, L"InstallDir"), install);
        if (c.exitCode != nullptr) {
            EXPECT_EQ(report.WaitForLine("launcher", 0), "launcher BrelioUpdate.dll UpdateFile");
        }
        if (c.result == 0) {
            EXPECT_TRUE(boxes.Texts().empty());
            EXPECT_NE(report.WaitForLine("start"), "") << "the installed program starts again";
        } else {
            EXPECT_EQ(boxes.Texts(), std::vector<std::wstring>{UpdateString(IDS_UPDATE_FAILED)});
            // The old installation runs on, and does not offer the same
            // update again at once (that waits for the periodic check).
            EXPECT_NE(report.WaitForLine("run", 60000), "") << "the installed program starts again after a failure";
            EXPECT_FALSE(startedBeforeTheBox) << "the user is told first";
            EXPECT_EQ(report.WaitForLine("start", 0), "");
        }
    }
}

TEST_F(ApplyUpdateExport, AfterAFailureNoSecondCopyStartsBesideARunningOne) {
    const std::wstring work = m_scratch / L"work";
    const std::wstring install = m_scratch / L"install";
    ASSERT_TRUE(::CreateDirectoryW(work.c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW(install.c_str(), nullptr));
    for (const wchar_t* file : {L"BrelioDrive.exe", L"BrelioUpdate.dll"})
        ASSERT_TRUE(::CopyFileW(FixturePath(std::wstring(L"installed\\") + file).c_str(),
                                (work + L"\\" + file).c_str(), FALSE));
    ASSERT_TRUE(::CopyFileW(TestProgramPath(L"update_exit_with.exe").c_str(), (work + L"\\BrelioLauncher.exe").c_str(),
                            FALSE));
    ASSERT_TRUE(WriteFileBytes(work + L"\\exit-code.txt", "5"));
    // A program still runs from the installation as BrelioDrive.exe.
    const std::wstring program = install + L"\\BrelioDrive.exe";
    ASSERT_TRUE(::CopyFileW(TestProgramPath(L"update_file_holder.exe").c_str(), program.c_str(), FALSE));
    ASSERT_TRUE(WriteFileBytes(m_scratch / L"held.txt", "held"));
    CFileHolder running;
    ASSERT_TRUE(running.Hold(m_scratch / L"held.txt", program));

    const CReport report(m_scratch / L"report.txt");
    const CBoxAnswerer boxes({IDOK});
    const CLogWatch log;
    EXPECT_EQ(RunProgram(work + L"\\BrelioDrive.exe", L"-ApplyUpdate " + QuotedArgument(install)), 0x80070005u);
    EXPECT_EQ(boxes.Texts(), std::vector<std::wstring>{UpdateString(IDS_UPDATE_FAILED)});
    EXPECT_EQ(log.NewText().find(WideToAnsi(L"Execute '" + program)), std::string::npos) << log.NewText();
    EXPECT_TRUE(running.Release());
}

}  // namespace
}  // namespace brelio::test
