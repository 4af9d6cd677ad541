// The Explorer navigation-pane entry: registration, target and removal.
#include <gtest/gtest.h>

#include "BrelioServices/NavigationPane.h"
#include "BrelioServices/WindowsVersion.h"
#include "ProgramKeys.h"

namespace {

const std::wstring kEntry = std::wstring(L"Software\\Classes\\CLSID\\") + kNavigationPaneClsid;
const std::wstring kBag = kEntry + L"\\Instance\\InitPropertyBag";
const std::wstring kNameSpaceEntry =
    std::wstring(L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Desktop\\NameSpace\\") +
    kNavigationPaneClsid;
const wchar_t kNewStartPanel[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\HideDesktopIcons\\NewStartPanel";

const wchar_t* TargetName() { return IsWindows10OrLater() ? L"TargetFolderPath" : L"Target"; }

using NavigationPane = ProgramKeysTest;

TEST_F(NavigationPane, SecondRegistrationLeavesTheEntryAsItIs) {
    ASSERT_EQ(RegisterNavigationPane(false), S_OK);
    const std::set<std::wstring> registered = DescribeTree(kEntry.c_str());
    // Changed by hand (or by an older build): an unforced start keeps it.
    WriteRawDword(kEntry, L"SortOrderIndex", 7);
    WriteRawString(kBag, TargetName(), L"C:\\Kept", REG_EXPAND_SZ);

    ASSERT_EQ(RegisterNavigationPane(false), S_OK);
    EXPECT_EQ(ReadRaw(kEntry, L"SortOrderIndex").bytes, (std::vector<BYTE>{7, 0, 0, 0}));
    EXPECT_EQ(StoredString(ReadRaw(kBag, TargetName())), L"C:\\Kept");
    EXPECT_EQ(DescribeTree(kEntry.c_str()), registered);
}

TEST_F(NavigationPane, ForcedRegistrationRestoresTheEntryAndItsDefaultTarget) {
    ASSERT_EQ(RegisterNavigationPane(false), S_OK);
    const std::set<std::wstring> registered = DescribeTree(kEntry.c_str());
    ASSERT_EQ(SetNavigationPaneTarget(L"C:\\Sync"), S_OK);
    EXPECT_EQ(ReadRaw(kBag, TargetName()).type, static_cast<DWORD>(REG_SZ));
    WriteRawDword(kEntry, L"SortOrderIndex", 7);
    WriteRawString(kEntry, L"Stray", L"left by hand");

    ASSERT_EQ(RegisterNavigationPane(true), S_OK);
    const RawValue target = ReadRaw(kBag, TargetName());
    EXPECT_EQ(target.type, static_cast<DWORD>(REG_EXPAND_SZ));
    EXPECT_EQ(StoredString(target), L"%USERPROFILE%");
    EXPECT_EQ(ReadRaw(kEntry, L"SortOrderIndex").bytes, (std::vector<BYTE>{0x42, 0, 0, 0}));
    EXPECT_EQ(DescribeTree(kEntry.c_str()), registered);
}

TEST_F(NavigationPane, TargetBeforeRegistrationFailsAndCreatesNothing) {
    EXPECT_EQ(SetNavigationPaneTarget(L"C:\\Sync"), E_FAIL);
    EXPECT_EQ(SetNavigationPaneTarget(nullptr), E_FAIL);
    EXPECT_FALSE(KeyExists(kEntry));
}

TEST_F(NavigationPane, RemovalLeavesNothingBehind) {
    ASSERT_EQ(RegisterNavigationPane(false), S_OK);
    ASSERT_EQ(SetNavigationPaneTarget(L"C:\\Sync"), S_OK);
    ASSERT_TRUE(KeyExists(kEntry));
    ASSERT_TRUE(KeyExists(kNameSpaceEntry));
    ASSERT_EQ(ReadRaw(kNewStartPanel, kNavigationPaneClsid).type, static_cast<DWORD>(REG_DWORD));

    UnregisterNavigationPane();
    EXPECT_FALSE(KeyExists(kEntry));
    EXPECT_FALSE(KeyExists(kNameSpaceEntry));
    EXPECT_EQ(ReadRaw(kNewStartPanel, kNavigationPaneClsid).type, static_cast<DWORD>(REG_NONE));

    UnregisterNavigationPane();  // nothing registered: nothing happens
    EXPECT_FALSE(KeyExists(kEntry));
}

TEST_F(NavigationPane, EntryHasTheFormOfThisWindows) {
    ASSERT_EQ(RegisterNavigationPane(false), S_OK);
    const RawValue instance = ReadRaw(kEntry + L"\\Instance", L"CLSID");
    const RawValue server = ReadRaw(kEntry + L"\\InProcServer32", nullptr);
    EXPECT_EQ(server.type, static_cast<DWORD>(REG_EXPAND_SZ));
    if (IsWindows10OrLater()) {
        EXPECT_EQ(StoredString(instance), L"{0E5AAE11-A475-4c5b-AB00-C66DE400274E}");
        EXPECT_EQ(StoredString(server), L"%systemroot%\\system32\\shell32.dll");
        EXPECT_EQ(ReadRaw(kEntry + L"\\ShellFolder", L"Attributes").bytes, (std::vector<BYTE>{0x4D, 0, 0x80, 0xF0}));
        EXPECT_EQ(ReadRaw(kBag, L"Attributes").bytes, (std::vector<BYTE>{0x11, 0, 0, 0}));
    } else {
        EXPECT_EQ(StoredString(instance), L"{0AFACED1-E828-11D1-9187-B532F1E9575D}");
        EXPECT_EQ(StoredString(server), L"%systemroot%\\system32\\shdocvw.dll");
        EXPECT_EQ(ReadRaw(kEntry + L"\\ShellFolder", L"Attributes").bytes, (std::vector<BYTE>{0x0D, 0, 0x80, 0xF0}));
    }
    EXPECT_EQ(StoredString(ReadRaw(kEntry, nullptr)), L"BrelioDrive");
    EXPECT_EQ(StoredString(ReadRaw(kNameSpaceEntry, nullptr)), L"BrelioDrive");
}

}  // namespace
