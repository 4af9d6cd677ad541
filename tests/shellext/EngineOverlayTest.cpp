// The extension as built with the overlay library as built, asked about a
// folder that the engine driver syncs, while the engine takes and releases
// the storage mutex for its own work.
#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>

#include <memory>
#include <string>
#include <vector>

#include "DriverProcess.h"
#include "DriverTest.h"
#include "ShellExtTest.h"
#include "TempFolder.h"

using namespace brelio;
using namespace brelio::test;

namespace {

class EngineOverlays : public DriverTest {
protected:
    void SetUp() override {
        DriverTest::SetUp();
        m_registration = std::make_unique<CRegisteredExtension>(BuiltExtensionPath());
        ASSERT_EQ(m_registration->Result(), S_OK);
        m_comStarted = SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
        for (size_t i = 0; i < 3; ++i)
            ASSERT_EQ(::CoCreateInstance(*kHandlerClasses[i].clsid, nullptr, CLSCTX_INPROC_SERVER,
                                         IID_IShellIconOverlayIdentifier, m_handlers[i].PutVoid()),
                      S_OK);
    }
    void TearDown() override {
        for (auto& handler : m_handlers) handler.Reset();
        if (m_comStarted) ::CoUninitialize();
        m_registration.reset();
        DriverTest::TearDown();
    }

    // The overlay ids whose handlers say S_OK. One at most while the item
    // stays as it is; while the engine changes it between two questions
    // the old and the new one may both show.
    std::vector<int> OverlaysOf(const std::wstring& relative, DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
        const std::wstring path = relative.empty() ? m_root : m_root + L"\\" + relative;
        std::vector<int> overlays;
        for (size_t i = 0; i < 3; ++i) {
            if (m_handlers[i]->IsMemberOf(path.c_str(), attributes) == S_OK)
                overlays.push_back(kHandlerClasses[i].overlayId);
        }
        return overlays;
    }

    static bool IsIdle(const Json::Value& line) { return line["event"].asString() == "idle"; }

    std::unique_ptr<CRegisteredExtension> m_registration;
    ComPtr<IShellIconOverlayIdentifier> m_handlers[3];
    bool m_comStarted = false;
};

}  // namespace

TEST_F(EngineOverlays, SyncedItemsAndAnEditWaitingForItsUpload) {
    Seed({FolderItem("/docs"), FileItem("/docs/a.bin", 5000), FileItem("/top.bin", 10)});
    CDriverProcess driver;
    ASSERT_TRUE(driver.Start());
    ASSERT_TRUE(driver.Send("start\nfull\nwait\n"));
    ASSERT_TRUE(driver.WaitForLine(IsIdle, 120000));

    const std::vector<int> synced = {1}, waiting = {2}, none = {};
    EXPECT_EQ(OverlaysOf(L"docs", FILE_ATTRIBUTE_DIRECTORY), synced);
    EXPECT_EQ(OverlaysOf(L"docs\\a.bin"), synced);
    EXPECT_EQ(OverlaysOf(L"top.bin"), synced);
    EXPECT_EQ(OverlaysOf(L""), none) << "the sync folder itself";

    // An edit here: the engine records it (status 2) and waits for the
    // next pass to upload it.
    ASSERT_TRUE(WriteFileBytes(m_root + L"\\top.bin", "edited here"));
    ASSERT_TRUE(Eventually([&] { return OverlaysOf(L"top.bin") == waiting; }));
    EXPECT_EQ(OverlaysOf(L"docs\\a.bin"), synced);
    EXPECT_EQ(OverlaysOf(L"elsewhere.bin"), none) << "not known to the engine";

    ASSERT_TRUE(driver.Send("partial\nwait\n"));
    ASSERT_TRUE(driver.WaitForLine(IsIdle, 120000));
    EXPECT_EQ(OverlaysOf(L"top.bin"), synced) << "uploaded";
    EXPECT_EQ(OverlaysOf(L"docs", FILE_ATTRIBUTE_DIRECTORY), synced);
    EXPECT_TRUE(driver.Finish(60000)) << "the engine still takes the mutex after the extension's reads";
}
