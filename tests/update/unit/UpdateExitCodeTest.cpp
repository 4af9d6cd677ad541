// Results through the launcher's exit code, and the folder on the stage-2
// command line.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include "BrelioCore/UniqueHandle.h"
#include "BrelioUpdate/ProgramStart.h"
#include "BrelioUpdate/UpdateExitCodes.h"

namespace {

TEST(UpdateExitCode, FailuresNeverReadAsSuccess) {
    const struct {
        HRESULT result;
        int exitCode;
        HRESULT readBack;
    } cases[] = {
        {S_OK, 0, S_OK},
        {S_FALSE, 0, S_OK},
        {E_ABORT, 0x4004, static_cast<HRESULT>(0x80074004)},
        {E_FAIL, 0x4005, static_cast<HRESULT>(0x80074005)},
        {HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED), 5, static_cast<HRESULT>(0x80070005)},
        {HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION), 0x20, static_cast<HRESULT>(0x80070020)},
        // Low 16 bits of 0 would be exit code 0, success: the whole value stays.
        {static_cast<HRESULT>(0x80040000), static_cast<int>(0x80040000), static_cast<HRESULT>(0x80040000)},
        {static_cast<HRESULT>(0x80190000), static_cast<int>(0x80190000), static_cast<HRESULT>(0x80190000)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(UpdateFileExitCode(c.result), c.exitCode) << std::hex << c.result;
        EXPECT_EQ(ExitCodeToResult(static_cast<DWORD>(UpdateFileExitCode(c.result))), c.readBack) << std::hex << c.result;
    }
}

TEST(UpdateExitCode, LauncherCodesBecomeResults) {
    const struct {
        DWORD exitCode;
        HRESULT result;
    } cases[] = {
        {0, S_OK},
        {5, static_cast<HRESULT>(0x80070005)},
        {0x4004, static_cast<HRESULT>(0x80074004)},
        {0x80004005, E_FAIL},
        {0x12345, static_cast<HRESULT>(0x80072345)},
    };
    for (const auto& c : cases) EXPECT_EQ(ExitCodeToResult(c.exitCode), c.result) << std::hex << c.exitCode;
}

TEST(UpdateExitCode, AQuotedFolderIsOneArgumentAsItWas) {
    for (const std::wstring folder : {L"C:\\Program Files\\Brelio", L"C:\\", L"D:\\\uC124\uCE58 \u00FC\\"}) {
        const std::wstring commandLine = L"BrelioDrive.exe -ApplyUpdate " + QuotedArgument(folder);
        int argc = 0;
        const brelio::UniqueLocalMemory<wchar_t*> argv(::CommandLineToArgvW(commandLine.c_str(), &argc));
        ASSERT_TRUE(argv);
        ASSERT_EQ(argc, 3);
        EXPECT_EQ(std::wstring(argv.Get()[2]), folder);
    }
}

}  // namespace
