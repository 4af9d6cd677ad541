// The check against the stand-in's manifest, as the manager makes it.
#include <gtest/gtest.h>

#include "BrelioCore/TextConvert.h"
#include "BrelioUpdate/UpdateManager.h"
#include "StandinRelease.h"
#include "UpdateFixtures.h"
#include "UpdateFlowTest.h"
#include "UpdateProcesses.h"

namespace brelio::test {
namespace {

using CheckVersion = UpdateFlowTest;

TEST_F(CheckVersion, TheManifestDecides) {
    const std::string link = ReleaseFileLink("update.cab");
    const struct {
        std::string manifest;
        UpdateCheck answer;
    } cases[] = {
        {R"({"version": ")" + RunningVersionRaised(-1) + R"(", "link-x64": ")" + link + R"("})", UpdateCheck::kNone},
        {R"({"version": ")" + RunningVersionRaised(3) + R"(", "link-x64": ")" + link + R"("})", UpdateCheck::kMinor},
        {R"({"version": ")" + RunningVersionRaised(1) + R"(", "link-x64": ")" + link + R"("})", UpdateCheck::kMajor},
        {R"({"version": ")" + RunningVersionRaised(-1) + R"(", "link-x64": ")" + link + R"(", "force": true})",
         UpdateCheck::kMajor},
        {R"({"version": 2, "link-x64": ")" + link + R"("})", UpdateCheck::kError},
        {R"({"version": ")" + RunningVersionRaised(3) + R"(")", UpdateCheck::kError},
    };
    for (const auto& c : cases) {
        SetReleaseManifest(c.manifest);
        CUpdateManager manager;
        EXPECT_EQ(manager.CheckVersion(), c.answer) << c.manifest;
    }
}

TEST_F(CheckVersion, TheManifestsTextsAreKept) {
    OfferUpdate(RunningVersionRaised(3));
    CUpdateManager manager;
    ASSERT_EQ(manager.CheckVersion(), UpdateCheck::kMinor);
    EXPECT_EQ(WideToUtf8(manager.Version()), RunningVersionRaised(3));
    EXPECT_EQ(WideToUtf8(manager.Link().Text()), ReleaseFileLink("update.cab"));
    EXPECT_FALSE(manager.Force());
}

TEST_F(CheckVersion, NoManifestOrAFailingHostIsAnError) {
    {
        CUpdateManager manager;
        EXPECT_EQ(manager.CheckVersion(), UpdateCheck::kError) << "no release";
    }
    OfferUpdate(RunningVersionRaised(3));
    FailManifestWith(503);
    const CLogWatch log;
    CUpdateManager manager;
    EXPECT_EQ(manager.CheckVersion(), UpdateCheck::kError);
    EXPECT_NE(log.NewText().find("Checking update - error(0x801901f7)."), std::string::npos);
}

TEST_F(CheckVersion, ALinkOutsideTheServiceIsAnError) {
    SetRelease(RunningVersionRaised(3), ForeignFileLink("update.cab"));
    const CLogWatch log;
    CUpdateManager manager;
    EXPECT_EQ(manager.CheckVersion(), UpdateCheck::kError);
    EXPECT_NE(log.NewText().find("Update link refused"), std::string::npos);
}

}  // namespace
}  // namespace brelio::test
