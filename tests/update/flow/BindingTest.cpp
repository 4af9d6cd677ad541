// BrelioDrive's binding of the update library, in a program standing where
// BrelioDrive will call it: whatever the library holds, the program goes on
// and the library is unloaded after the call.
#include <windows.h>

#include <gtest/gtest.h>

#include "BoxAnswerer.h"
#include "BrelioCore/TextConvert.h"
#include "StandinRelease.h"
#include "UpdateFixtures.h"
#include "UpdateFlowTest.h"
#include "UpdateProcesses.h"

namespace brelio::test {
namespace {

using UpdateBinding = UpdateFlowTest;

TEST_F(UpdateBinding, EachCallLeavesTheLibraryUnloaded) {
    // The program is at the installed version: the check finds no update.
    OfferUpdate(WideToUtf8(kOldVersion));
    const struct {
        const wchar_t* name;
        const wchar_t* libraryFile;  // copied as BrelioUpdate.dll, or none
        const char* reported;
    } cases[] = {
        {L"missing library", nullptr, "check 0x80004005 0"},
        {L"missing export", L"BrelioShellExt.dll", "check 0x80004005 0"},
        {L"normal call", L"BrelioUpdate.dll", "check 0x00000001 0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(WideToUtf8(c.name));
        const std::wstring folder = m_scratch / c.name;
        ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
        ASSERT_TRUE(::CopyFileW(FixturePath(L"installed\\BrelioDrive.exe").c_str(),
                                (folder + L"\\BrelioDrive.exe").c_str(), FALSE));
        if (c.libraryFile != nullptr) {
            ASSERT_TRUE(::CopyFileW(FixturePath(std::wstring(L"installed\\") + c.libraryFile).c_str(),
                                    (folder + L"\\BrelioUpdate.dll").c_str(), FALSE));
        }
        const CReport report(folder + L"\\report.txt");
        const CBoxAnswerer boxes;
        RunProgram(folder + L"\\BrelioDrive.exe", L"-CheckUpdate 1");
        EXPECT_EQ(report.Lines(), std::vector<std::string>{c.reported});
        EXPECT_TRUE(boxes.Texts().empty());
    }
}

}  // namespace
}  // namespace brelio::test
