// The whole registry layout, as the program leaves it after a sign-in, a
// change of folder and selection, and the Explorer entry.
#include <gtest/gtest.h>

#include "BrelioServices/GlobalSettings.h"
#include "BrelioServices/NavigationPane.h"
#include "BrelioServices/RegistryLayout.h"
#include "BrelioServices/Settings.h"
#include "BrelioServices/WindowsVersion.h"
#include "ProgramKeys.h"
#include "TestFiles.h"

namespace {

const wchar_t kEntryPath[] = L"Software\\Classes\\CLSID\\{F3723050-D272-434E-9704-E25239C223A1}";
const wchar_t kNameSpaceEntryPath[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Desktop\\NameSpace\\"
    L"{F3723050-D272-434E-9704-E25239C223A1}";
const wchar_t kNewStartPanelPath[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\HideDesktopIcons\\NewStartPanel";

using SettingsLayout = ProgramKeysTest;

TEST_F(SettingsLayout, HoldsExactlyTheKeysValuesAndTypesOfTheLayout) {
    ScopedTree defaultRoot(DefaultAccountRoot(L"kim@acme"));
    ScopedTree root(MakeScratchFolder());
    // A pending first run shows that the flag is consumed, not removed.
    WriteRawDword(kSettingsKeyPath, kFirstRunValue, 1);

    CSettings settings;
    ASSERT_EQ(settings.LoadGlobal(), 0);
    ASSERT_EQ(settings.SetAccount(L"acme", L"kim"), ERROR_SUCCESS);
    ASSERT_EQ(settings.LoadAccount(), S_OK);
    ASSERT_EQ(settings.SetSessionId(L"session-1"), ERROR_SUCCESS);
    ASSERT_EQ(RegisterNavigationPane(false), S_OK);
    ASSERT_EQ(settings.SetRootDir(root.Path().c_str()), S_OK);
    CSyncFolderList selection;
    selection.Add(L"Docs", 11);
    selection.Add(L"Photos\\2024", 12);
    ASSERT_EQ(settings.SetSyncFolders(selection), S_OK);
    ASSERT_EQ(settings.SetAutoLogin(true), ERROR_SUCCESS);
    ASSERT_EQ(NotifySettingsChange(), ERROR_SUCCESS);
    SetAutoStart(true);

    const std::set<std::wstring> expectedSettings = {
        L"K ",
        L"V |Account|REG_SZ",
        L"V |FirstRun|REG_DWORD",
        L"V |AutoLogin|REG_DWORD",
        L"K SettingsChange",
        L"V SettingsChange||REG_DWORD",
        L"K kim@acme",
        L"V kim@acme|RootDir|REG_SZ",
        L"V kim@acme|LocalStorage|REG_SZ",
        L"V kim@acme|SessionId|REG_SZ",
        L"V kim@acme|SyncFolder|REG_DWORD",
        L"K kim@acme\\SyncFolder",
        L"V kim@acme\\SyncFolder|Docs|REG_QWORD",
        L"V kim@acme\\SyncFolder|Photos\\2024|REG_QWORD",
    };
    EXPECT_EQ(DescribeTree(kSettingsKeyPath), expectedSettings);

    std::set<std::wstring> expectedEntry = {
        L"K ",
        L"V ||REG_SZ",
        L"V |SortOrderIndex|REG_DWORD",
        L"V |System.IsPinnedToNameSpaceTree|REG_DWORD",
        L"K DefaultIcon",
        L"V DefaultIcon||REG_SZ",
        L"K InProcServer32",
        L"V InProcServer32||REG_EXPAND_SZ",
        L"K Instance",
        L"V Instance|CLSID|REG_SZ",
        L"K Instance\\InitPropertyBag",
        L"K ShellFolder",
        L"V ShellFolder|Attributes|REG_DWORD",
    };
    if (IsWindows10OrLater()) {
        expectedEntry.insert({L"V Instance\\InitPropertyBag|Attributes|REG_DWORD",
                              L"V Instance\\InitPropertyBag|TargetFolderPath|REG_SZ",
                              L"V ShellFolder|FolderValueFlags|REG_DWORD"});
    } else {
        expectedEntry.insert({L"V InProcServer32|ThreadingModel|REG_SZ", L"V Instance\\InitPropertyBag|Target|REG_SZ",
                              L"V ShellFolder|WantsFORPARSING |REG_SZ"});
    }
    EXPECT_EQ(DescribeTree(kEntryPath), expectedEntry);
    EXPECT_EQ(DescribeTree(kNameSpaceEntryPath), (std::set<std::wstring>{L"K ", L"V ||REG_SZ"}));
    EXPECT_EQ(ReadRaw(kNewStartPanelPath, kNavigationPaneClsid).type, static_cast<DWORD>(REG_DWORD));

    // The data that other programs read.
    const std::wstring account = kSettingsKeyPath + std::wstring(L"\\kim@acme");
    EXPECT_EQ(StoredString(ReadRaw(kSettingsKeyPath, kAccountValue)), L"kim@acme");
    EXPECT_EQ(StoredString(ReadRaw(account, kRootDirValue)), root.Path());
    EXPECT_EQ(StoredString(ReadRaw(account, kLocalStorageValue)), settings.GetLocalStoragePath());
    const RawValue target = ReadRaw(std::wstring(kEntryPath) + L"\\Instance\\InitPropertyBag",
                                    IsWindows10OrLater() ? L"TargetFolderPath" : L"Target");
    EXPECT_EQ(StoredString(target), root.Path());
    EXPECT_EQ(StoredString(ReadRaw(kRunKeyPath, kRunValue)), ThisProgramPath());
    EXPECT_EQ(ReadRaw(kRunKeyPath, kRunValue).type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(StoredString(ReadRaw(std::wstring(kEntryPath) + L"\\DefaultIcon", nullptr)),
              ThisProgramPath() + L",-128");
    const RawValue folderId = ReadRaw(account + L"\\SyncFolder", L"Photos\\2024");
    ASSERT_EQ(folderId.bytes.size(), 8u);
    EXPECT_EQ(folderId.bytes, (std::vector<BYTE>{12, 0, 0, 0, 0, 0, 0, 0}));
}

TEST_F(SettingsLayout, FirstLoadCreatesTheSettingsKey) {
    CSettings first;
    EXPECT_EQ(first.LoadGlobal(), 1);
    CSettings second;
    EXPECT_EQ(second.LoadGlobal(), 0);
    EXPECT_EQ(DescribeTree(kSettingsKeyPath), (std::set<std::wstring>{L"K "}));
}

}  // namespace
