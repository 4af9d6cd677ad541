// BrelioLauncher runs one export of a library beside it and ends with its
// result; anything else it is asked ends with a failing code.
#include <windows.h>

#include <gtest/gtest.h>

#include "BrelioCore/TextConvert.h"
#include "UpdateFixtures.h"
#include "UpdateProcesses.h"

namespace brelio::test {
namespace {

TEST(Launcher, RunsOnlyAnExportOfALibraryBesideIt) {
    const struct {
        const wchar_t* arguments;
        DWORD exitCode;
    } cases[] = {
        {L"BrelioUpdate.dll NoSuchExport", ERROR_PROC_NOT_FOUND},
        {L"Missing.dll UpdateFile", ERROR_MOD_NOT_FOUND},
        {L"..\\BrelioUpdate.dll UpdateFile", ERROR_BAD_ARGUMENTS},
        {L"C:\\windows\\system32\\kernel32.dll GetTickCount", ERROR_BAD_ARGUMENTS},
        {L"BrelioUpdate.dll", ERROR_BAD_ARGUMENTS},
        {L"", ERROR_BAD_ARGUMENTS},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RunProgram(FixturePath(L"installed\\BrelioLauncher.exe"), c.arguments), c.exitCode)
            << WideToUtf8(c.arguments);
}

}  // namespace
}  // namespace brelio::test
