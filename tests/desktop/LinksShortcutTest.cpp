#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include <string>

#include "BrelioApp/LinksShortcut.h"
#include "BrelioCore/ComPtr.h"
#include "BrelioServices/PathHelpers.h"
#include "TempFolder.h"

namespace {

std::wstring LinksFolder() {
    std::wstring links;
    EXPECT_EQ(GetKnownFolder(FOLDERID_Links, links), S_OK);
    return links;
}

// Where a shortcut file points, read back through the shell.
std::wstring ResolveShortcut(const std::wstring& file) {
    brelio::ComPtr<IShellLinkW> link;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.PutVoid()))) {
        return L"";
    }
    brelio::ComPtr<IPersistFile> persist;
    if (FAILED(link.As(IID_IPersistFile, persist.PutVoid())) || FAILED(persist->Load(file.c_str(), STGM_READ))) {
        return L"";
    }
    wchar_t target[MAX_PATH] = L"";
    if (FAILED(link->GetPath(target, MAX_PATH, nullptr, 0))) return L"";
    return target;
}

class LinksShortcutTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(first.Create());
        ASSERT_TRUE(second.Create());
        links = LinksFolder();
        ASSERT_FALSE(links.empty());
        ::CreateDirectoryW(links.c_str(), nullptr);
    }
    void TearDown() override { ::DeleteFileW((links + L"\\BrelioDriveTest.lnk").c_str()); }

    brelio::test::CTempFolder first;
    brelio::test::CTempFolder second;
    std::wstring links;
};

}  // namespace

TEST_F(LinksShortcutTest, ShortcutResolvesToTheSyncFolderAndIsReplacedOnTheNextSignIn) {
    ASSERT_EQ(CreateLinksShortcut(L"BrelioDriveTest", first.Path().c_str()), S_OK);
    const std::wstring file = links + L"\\BrelioDriveTest.lnk";
    EXPECT_EQ(::lstrcmpiW(ResolveShortcut(file).c_str(), first.Path().c_str()), 0) << ResolveShortcut(file);

    ASSERT_EQ(CreateLinksShortcut(L"BrelioDriveTest", second.Path().c_str()), S_OK);
    EXPECT_EQ(::lstrcmpiW(ResolveShortcut(file).c_str(), second.Path().c_str()), 0) << ResolveShortcut(file);
}

TEST_F(LinksShortcutTest, NameWithAnExtensionIsUsedAsItIs) {
    ASSERT_EQ(CreateLinksShortcut(L"BrelioDriveTest.lnk", first.Path().c_str()), S_OK);
    EXPECT_TRUE(::PathFileExistsW((links + L"\\BrelioDriveTest.lnk").c_str()));
    EXPECT_FALSE(::PathFileExistsW((links + L"\\BrelioDriveTest.lnk.lnk").c_str()));
}

TEST_F(LinksShortcutTest, BadInputFailsAndLeavesTheExistingShortcut) {
    ASSERT_EQ(CreateLinksShortcut(L"BrelioDriveTest", first.Path().c_str()), S_OK);
    const std::wstring file = links + L"\\BrelioDriveTest.lnk";

    const std::wstring missing = first.Path() + L"\\no such folder";
    EXPECT_TRUE(FAILED(CreateLinksShortcut(L"BrelioDriveTest", missing.c_str())));
    EXPECT_EQ(CreateLinksShortcut(L"", first.Path().c_str()), E_INVALIDARG);
    EXPECT_EQ(CreateLinksShortcut(nullptr, first.Path().c_str()), E_INVALIDARG);
    EXPECT_EQ(CreateLinksShortcut(L"BrelioDriveTest", L""), E_INVALIDARG);
    EXPECT_EQ(::lstrcmpiW(ResolveShortcut(file).c_str(), first.Path().c_str()), 0);
}

TEST_F(LinksShortcutTest, MissingLinksFolderIsAClearFailure) {
    const std::wstring away = links + L".away";
    ASSERT_TRUE(::MoveFileW(links.c_str(), away.c_str()));
    const HRESULT hr = CreateLinksShortcut(L"BrelioDriveTest", first.Path().c_str());
    const bool madeFolder = ::PathFileExistsW(links.c_str()) != FALSE;
    if (madeFolder) brelio::test::RemoveTree(links);
    ASSERT_TRUE(::MoveFileW(away.c_str(), links.c_str()));
    EXPECT_TRUE(FAILED(hr)) << std::hex << hr;
    EXPECT_FALSE(madeFolder);
}
