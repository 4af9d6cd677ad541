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
        const char* exitCode;
        DWORD result;
    } cases[] = {
        {"0", 0},
        {"5", 0x80070005},
        {"4004", 0x80074004},
        {"80004005", 0x80004005},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.exitCode);
        const std::wstring work = m_scratch / (L"work-" + Utf8ToWide(c.exitCode));
        const std::wstring install = m_scratch / (L"\uC124\uCE58 " + Utf8ToWide(c.exitCode));
        ASSERT_TRUE(::CreateDirectoryW(work.c_str(), nullptr));
        ASSERT_TRUE(::CreateDirectoryW(install.c_str(), nullptr));
        for (const wchar_t* name : {L"BrelioDrive.exe", L"BrelioUpdate.dll"})
            ASSERT_TRUE(::CopyFileW(FixturePath(std::wstring(L"installed\\") + name).c_str(),
                                    (work + L"\\" + name).c_str(), FALSE));
        ASSERT_TRUE(::CopyFileW(TestProgramPath(L"update_exit_with.exe").c_str(),
                                (work + L"\\BrelioLauncher.exe").c_str(), FALSE));
        ASSERT_TRUE(WriteFileBytes(work + L"\\exit-code.txt", c.exitCode));
        ASSERT_TRUE(::CopyFileW(FixturePath(L"installed\\BrelioDrive.exe").c_str(),
                                (install + L"\\BrelioDrive.exe").c_str(), FALSE));

        const CReport report(m_scratch / L"report.txt");
        const CBoxAnswerer boxes({IDOK});
        EXPECT_EQ(RunProgram(work + L"\\BrelioDrive.exe", L"-ApplyUpdate " + QuotedArgument(install)), c.result);

        EXPECT_EQ(GetIniValue(work, L"InstallDir"), install);
        EXPECT_NE(report.WaitForLine("launcher", 0), "") << "the launcher ran";
        EXPECT_EQ(report.WaitForLine("launcher", 0), "launcher BrelioUpdate.dll UpdateFile");
        if (c.result == 0) {
            EXPECT_TRUE(boxes.Texts().empty());
            EXPECT_NE(report.WaitForLine("start"), "") << "the installed program starts again";
        } else {
            EXPECT_EQ(boxes.Texts(), std::vector<std::wstring>{UpdateString(IDS_UPDATE_FAILED)});
            EXPECT_EQ(report.WaitForLine("start", 0), "") << "a failed install does not start the program";
        }
    }
}

}  // namespace
}  // namespace brelio::test
