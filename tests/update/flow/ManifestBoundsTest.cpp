// An update host that holds, trickles or floods cannot keep the check
// (which runs before the program shows any window) for long, nor fill
// memory; a cabinet that does not arrive whole leaves nothing behind.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "BrelioCore/UniqueHandle.h"
#include "BrelioUpdate/UpdateManager.h"
#include "StandinRelease.h"
#include "UpdateFixtures.h"
#include "UpdateFlowTest.h"
#include "UpdateProcesses.h"

namespace brelio::test {
namespace {

// Far beyond the check's own limit, far short of how long the host holds.
constexpr DWORD kGenerousBoundMs = 60000;

std::string Manifest(const std::string& version) {
    return R"({"version": ")" + version + R"(", "link-x64": ")" + ReleaseFileLink("update.cab") + R"("})";
}

// Runs the check on a thread of its own; false when it has not ended
// within the bound (it is then waited for, however long it takes).
bool CheckEndsWithin(DWORD milliseconds, UpdateCheck& answer) {
    UniqueKernelHandle done(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    std::thread check([&] {
        CUpdateManager manager;
        answer = manager.CheckVersion();
        ::SetEvent(done.Get());
    });
    const bool ended = ::WaitForSingleObject(done.Get(), milliseconds) == WAIT_OBJECT_0;
    check.join();
    return ended;
}

using ManifestBounds = UpdateFlowTest;

TEST_F(ManifestBounds, AHostThatHoldsOrTricklesEndsTheCheckWithATimeOut) {
    const std::string version = RunningVersionRaised(3);
    // Each holds the manifest for about 120 s.
    Json::Value held;
    held["delayMs"] = 120000;
    Json::Value trickled;
    trickled["trickleMs"] = 500;
    const struct {
        const char* what;
        Json::Value fault;
    } cases[] = {{"held", held}, {"trickled", trickled}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        AddReleaseFile("update.cab", FixtureUnixPath("update.cab"));
        SetPaddedReleaseManifest(Manifest(version), 240);
        AddUpdateHostFault("^/release/drive/win$", c.fault);
        const CLogWatch log;
        UpdateCheck answer = UpdateCheck::kMinor;
        EXPECT_TRUE(CheckEndsWithin(kGenerousBoundMs, answer));
        EXPECT_EQ(answer, UpdateCheck::kError);
        EXPECT_NE(log.NewText().find("Checking update - error(0x800705b4)."), std::string::npos) << log.NewText();
    }
}

TEST_F(ManifestBounds, AManifestOfMoreThanAFewHundredKilobytesIsNotRead) {
    const std::string version = RunningVersionRaised(3);
    const struct {
        const char* what;
        size_t bytes;
        bool withoutLength;
        UpdateCheck answer;
    } cases[] = {
        {"a padded manifest within the limit", 200 << 10, false, UpdateCheck::kMinor},
        {"a flood with its length", 64 << 20, false, UpdateCheck::kError},
        {"a flood without length", 4 << 20, true, UpdateCheck::kError},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        AddReleaseFile("update.cab", FixtureUnixPath("update.cab"));
        SetPaddedReleaseManifest(Manifest(version), c.bytes);
        if (c.withoutLength) {
            Json::Value unframed;
            unframed["unframed"] = true;
            AddUpdateHostFault("^/release/drive/win$", unframed);
        }
        const CLogWatch log;
        CUpdateManager manager;
        EXPECT_EQ(manager.CheckVersion(), c.answer);
        if (c.answer == UpdateCheck::kError) {
            EXPECT_NE(log.NewText().find("Checking update - error(0x800700df)."), std::string::npos);
        }
        ClearUpdateHostFaults();
    }
}

TEST_F(ManifestBounds, AFailedCabinetDownloadLeavesNoPartOfIt) {
    Json::Value cut;
    cut["truncate"] = 4096;
    Json::Value closed;
    closed["close"] = true;
    Json::Value notFound;
    notFound["status"] = 404;
    const struct {
        const char* what;
        Json::Value fault;
    } cases[] = {{"cut short", cut}, {"closed", closed}, {"not found", notFound}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        OfferUpdate(RunningVersionRaised(3));
        CUpdateManager manager;
        ASSERT_EQ(manager.CheckVersion(), UpdateCheck::kMinor);
        AddUpdateHostFault("^/release/drive/files/update.cab$", c.fault);
        EXPECT_LT(manager.Download(), 0);
        ASSERT_FALSE(manager.WorkDir().empty());
        EXPECT_FALSE(FileExists(manager.WorkDir() + L"\\BrelioUpdate.cab"));
    }
}

}  // namespace
}  // namespace brelio::test
