// BrelioDrive's binding of the update library, in a program standing where
// BrelioDrive will call it: whatever the library holds, the program goes on,
// the library is unloaded after the call and nothing calls into it later.
#include <windows.h>

#include <gtest/gtest.h>

#include "BoxAnswerer.h"
#include "BrelioCore/TextConvert.h"
#include "BrelioCore/UniqueHandle.h"
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
    // The manifest one byte every 200 ms: the check gives up long before
    // its end, while WinHTTP still waits for the next byte.
    Json::Value trickled;
    trickled["trickleMs"] = 200;
    // The manifest held back for 10 s: under Wine WinHTTP ends the request
    // only when the answer comes, which may be after the call; the library
    // may then stay loaded, but the program goes on.
    Json::Value held;
    held["delayMs"] = 10000;
    const struct {
        const wchar_t* name;
        const wchar_t* libraryFile;  // copied as BrelioUpdate.dll, or none
        Json::Value manifestFault;
        size_t requests;  // to the update host
        const char* result;
        bool unloaded;
    } cases[] = {
        {L"missing library", nullptr, {}, 0, "0x80004005", true},
        {L"missing export", L"BrelioShellExt.dll", {}, 0, "0x80004005", true},
        {L"normal call", L"BrelioUpdate.dll", {}, 1, "0x00000001", true},
        {L"check cut short", L"BrelioUpdate.dll", trickled, 1, "0x80004005", true},
        {L"answer held back", L"BrelioUpdate.dll", held, 1, "0x80004005", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(WideToUtf8(c.name));
        ClearUpdateHostFaults();
        ClearUpdateHostRequests();
        if (!c.manifestFault.isNull()) AddUpdateHostFault("^/release/drive/win$", c.manifestFault);
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
        // The program lives on after the call, as BrelioDrive does, until
        // the update host has sent all it was sending: nothing may call into
        // the library once it is unloaded.
        const std::wstring linger = UniqueEventName(L"BrelioLinger");
        const UniqueKernelHandle lingerEvent(::CreateEventW(nullptr, TRUE, FALSE, linger.c_str()));
        CProgram program;
        ASSERT_TRUE(program.Start(folder + L"\\BrelioDrive.exe", L"-CheckUpdate 1 " + linger))
            << "error " << ::GetLastError();
        EXPECT_NE(report.WaitForLine("check"), "");
        EXPECT_TRUE(WaitUntilUpdateHostAnswered(c.requests));
        EXPECT_EQ(UpdateHostRequests().size(), c.requests);
        ::SetEvent(lingerEvent.Get());
        program.Wait();
        std::vector<std::string> lines = report.Lines();
        if (!c.unloaded) {
            // Whether it is still loaded is left out.
            for (std::string& line : lines) line = line.substr(0, line.rfind(' '));
        }
        const std::string loaded = c.unloaded ? " 0" : "";
        EXPECT_EQ(lines, (std::vector<std::string>{std::string("check ") + c.result + loaded,
                                                   std::string("exit ") + c.result + loaded}));
        EXPECT_TRUE(boxes.Texts().empty());
    }
}

}  // namespace
}  // namespace brelio::test
