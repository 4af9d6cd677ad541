// Where an account's database lives, and the other fixed places.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <cwctype>

#include "BrelioCore/UniqueHandle.h"
#include "BrelioServices/DatabasePath.h"
#include "BrelioServices/PathHelpers.h"

namespace {

std::wstring KnownFolder(REFKNOWNFOLDERID id) {
    brelio::UniqueCoTaskMem<wchar_t> raw;
    std::wstring path;
    if (SUCCEEDED(::SHGetKnownFolderPath(id, 0, nullptr, raw.Put()))) path = raw.Get();
    return path;
}

TEST(StoragePath, RootFolderHashVectors) {
    const struct {
        const wchar_t* folder;
        uint64_t hash;
    } cases[] = {
        {L"", 0xcbf29ce484222325ull},
        {L"abc", 0xcec64e155111225dull},
        // Only A-Z fold; the hash runs over both bytes of each character.
        {L"ABC", 0xcec64e155111225dull},
    };
    for (const auto& c : cases) EXPECT_EQ(HashRootFolder(c.folder), c.hash) << testing::PrintToString(std::wstring(c.folder));
    // Letters beyond ASCII are not folded.
    EXPECT_NE(HashRootFolder(L"\u00c9"), HashRootFolder(L"\u00e9"));
}

TEST(StoragePath, OneDatabasePerAccountAndFolderWhateverTheLetterCase) {
    const std::wstring sync = MakeLocalStoragePath(L"kim@acme", L"C:\\Sync");
    ASSERT_FALSE(sync.empty());
    EXPECT_EQ(MakeLocalStoragePath(L"kim@acme", L"c:\\sync"), sync);
    EXPECT_NE(MakeLocalStoragePath(L"kim@acme", L"C:\\Sync\\"), sync) << "the trailing backslash is hashed";
    EXPECT_NE(MakeLocalStoragePath(L"kim@acme", L"D:\\Sync"), sync);
    EXPECT_NE(MakeLocalStoragePath(L"lee@acme", L"C:\\Sync"), sync);
}

TEST(StoragePath, DatabaseNameIsAccountDashHashDotDb) {
    const std::wstring folder = KnownFolder(FOLDERID_LocalAppData);
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(MakeLocalStoragePath(L"kim@acme", L"abc"), folder + L"\\kim@acme-5111225d.db");
    // Leading zeros are dropped: the empty folder's low half is 84222325.
    EXPECT_EQ(MakeLocalStoragePath(L"kim@acme", L""), folder + L"\\kim@acme-84222325.db");
    // A dot in the account does not pass for an extension.
    EXPECT_EQ(MakeLocalStoragePath(L"kim.lee@acme", L"abc"), folder + L"\\kim.lee@acme-5111225d.db");
}

TEST(StoragePath, DatabasePathThatWouldNotFitIsEmpty) {
    EXPECT_EQ(MakeLocalStoragePath(std::wstring(300, L'k').c_str(), L"C:\\Sync"), L"");
}

TEST(StoragePath, DefaultRootAndLogFile) {
    EXPECT_EQ(GetDefaultRootFolder(), KnownFolder(FOLDERID_Profile) + L"\\BrelioDrive");
    wchar_t temp[MAX_PATH + 1] = L"";
    ::GetTempPathW(MAX_PATH + 1, temp);
    EXPECT_EQ(GetLogFilePath(), std::wstring(temp) + L"BrelioDrive.log");
}

}  // namespace
