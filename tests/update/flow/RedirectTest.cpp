// Where the update reads from when the update host answers with a
// redirect: every address on the way passes the same check as the first,
// for the manifest and for the cabinet.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "BoxAnswerer.h"
#include "BrelioCore/TextConvert.h"
#include "BrelioUpdate/CheckUpdateModes.h"
#include "BrelioUpdate/UpdateManager.h"
#include "BrelioUpdate/UpdateResourceIds.h"
#include "StandinRelease.h"
#include "UpdateFixtures.h"
#include "UpdateFlowTest.h"
#include "UpdateProcesses.h"

namespace brelio::test {
namespace {

struct Hop {
    std::string path;  // regular expression of the redirected path
    std::string location;
    int times = 1;
};

void Redirect(const std::vector<Hop>& hops) {
    for (const Hop& hop : hops) RedirectOnUpdateHost(hop.path, hop.location, hop.times);
}

struct RedirectCase {
    const char* what;
    std::vector<Hop> hops;
    bool followed;  // the redirects lead somewhere the update may read from
};

// The cases for a resource at `path` (the manifest's or the cabinet's),
// which the update host and the foreign host both serve.
std::vector<RedirectCase> RedirectCases(const std::string& path) {
    const std::string exact = "^" + path + "$";
    // The address itself with a query, which the first hop does not match.
    const std::string final = path + "?final";
    return {
        {"to a foreign host", {{exact, ForeignHostLink(path)}}, false},
        {"to the other scheme", {{exact, "https" + UpdateHostLink(path).substr(4)}}, false},
        {"a chain that ends at a foreign host",
         {{exact, "/release/drive/files/hop"}, {"^/release/drive/files/hop$", ForeignHostLink(final)}},
         false},
        {"a chain without end", {{exact, UpdateHostLink(path), -1}}, false},
        {"a chain on the update host",
         {{exact, "/release/drive/files/hop"}, {"^/release/drive/files/hop$", UpdateHostLink(final)}},
         true},
    };
}

using RedirectsOfTheUpdateHost = UpdateFlowTest;

TEST_F(RedirectsOfTheUpdateHost, TheManifestIsReadOnlyFromTrustedAddresses) {
    for (const RedirectCase& c : RedirectCases("/release/drive/win")) {
        SCOPED_TRACE(c.what);
        OfferUpdate(RunningVersionRaised(3));
        Redirect(c.hops);
        const CLogWatch log;
        CUpdateManager manager;
        EXPECT_EQ(manager.CheckVersion(), c.followed ? UpdateCheck::kMinor : UpdateCheck::kError);
        EXPECT_EQ(ForeignHostRequests().size(), 0u);
        if (!c.followed) {
            EXPECT_NE(log.NewText().find("Checking update - error(0x"), std::string::npos);
        }
        ClearUpdateHostFaults();
        ClearForeignHostRequests();
    }
}

TEST_F(RedirectsOfTheUpdateHost, TheCabinetIsReadOnlyFromTrustedAddresses) {
    for (const RedirectCase& c : RedirectCases("/release/drive/files/update.cab")) {
        SCOPED_TRACE(c.what);
        OfferUpdate(RunningVersionRaised(3));
        CUpdateManager manager;
        ASSERT_EQ(manager.CheckVersion(), UpdateCheck::kMinor);
        Redirect(c.hops);
        const HRESULT result = manager.Download();
        EXPECT_EQ(ForeignHostRequests().size(), 0u);
        if (c.followed) {
            EXPECT_EQ(result, S_OK);
            EXPECT_TRUE(HasSameFiles(FixturePath(L"payload"), manager.WorkDir()));
        } else {
            EXPECT_LT(result, 0);
            EXPECT_FALSE(FileExists(manager.WorkDir() + L"\\BrelioDrive.exe")) << "nothing was extracted";
        }
        ClearUpdateHostFaults();
        ClearForeignHostRequests();
    }
}

TEST_F(RedirectsOfTheUpdateHost, ACabinetRedirectedAwayIsReportedAndNotInstalled) {
    const std::string version = RunningVersionRaised(3);
    OfferUpdate(version);
    RedirectOnUpdateHost("^/release/drive/files/update.cab$", ForeignFileLink("update.cab"));
    HMODULE library = ::LoadLibraryW(FixturePath(L"installed\\BrelioUpdate.dll").c_str());
    ASSERT_NE(library, nullptr);
    const auto checkUpdate =
        reinterpret_cast<int (*)(int)>(reinterpret_cast<void*>(::GetProcAddress(library, "CheckUpdate")));
    const CBoxAnswerer boxes({IDYES, IDOK});
    EXPECT_EQ(checkUpdate(kCheckUpdateAtStart), E_ACCESSDENIED);
    ::FreeLibrary(library);
    EXPECT_EQ(boxes.Texts(), (std::vector<std::wstring>{UpdateStringWith(IDS_UPDATE_MINOR, Utf8ToWide(version)),
                                                        UpdateString(IDS_UPDATE_FAILED)}));
    EXPECT_EQ(ForeignHostRequests().size(), 0u);
}

}  // namespace
}  // namespace brelio::test
