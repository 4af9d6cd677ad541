// The account's settings: its name, root folder, database path, session
// and folder selection, as stored and as read back by a later start.
#include <gtest/gtest.h>

#include "BrelioCore/UniqueHandle.h"
#include "BrelioServices/DatabasePath.h"
#include "BrelioServices/RegistryLayout.h"
#include "BrelioServices/Settings.h"
#include <map>

#include "PrivateKey.h"
#include "ProgramKeys.h"
#include "TestFiles.h"

namespace {

using SettingsAccount = ProgramKeysTest;

std::wstring AccountKey(const wchar_t* account) { return kSettingsKeyPath + std::wstring(L"\\") + account; }

TEST_F(SettingsAccount, TenantFollowsTheLastAtSign) {
    struct Case {
        const wchar_t* tenant;
        const wchar_t* member;
        const wchar_t* account;
        const wchar_t* expectedTenant;
    } cases[] = {
        {L"acme", L"kim", L"kim@acme", L"acme"},
        {L"acme", L"kim@corp.example", L"kim@corp.example@acme", L"acme"},
        {L"acme", L"", L"", L""},
        {L"", L"kim", L"", L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "member " << testing::PrintToString(std::wstring(c.member)));
        CSettings settings;
        ASSERT_EQ(settings.SetAccount(c.tenant, c.member), ERROR_SUCCESS);
        EXPECT_EQ(settings.GetAccount(), c.account);
        EXPECT_EQ(settings.GetTenant(), c.expectedTenant);

        // A later start reads the same tenant from what was stored.
        CSettings later;
        later.LoadGlobal();
        EXPECT_EQ(later.GetTenant(), c.expectedTenant);
    }
}

TEST_F(SettingsAccount, AccountThatCannotNameItsFolderIsRefusedAndNothingChanges) {
    CSettings settings;
    ASSERT_EQ(settings.SetAccount(L"acme", L"kim"), ERROR_SUCCESS);
    const RawValue before = ReadRaw(kSettingsKeyPath, kAccountValue);
    const std::wstring tooLong(123, L'k');  // with "@acme" over the 127 that readers take
    const struct {
        const wchar_t* tenant;
        const wchar_t* member;
    } refused[] = {
        {L"acme", L"..\\..\\evil"}, {L"acme", L"a/b"},   {L"acme", L"a\r\nb"},
        {L"ac.me", L"kim"},         {L"ac me", L"kim"}, {L"acme", tooLong.c_str()},
    };
    for (const auto& r : refused) {
        EXPECT_EQ(settings.SetAccount(r.tenant, r.member), ERROR_INVALID_PARAMETER);
        EXPECT_EQ(settings.GetAccount(), L"kim@acme");
    }
    EXPECT_EQ(ReadRaw(kSettingsKeyPath, kAccountValue), before);
    EXPECT_EQ(DescribeTree(kSettingsKeyPath), (std::set<std::wstring>{L"K ", L"V |Account|REG_SZ", L"K kim@acme"}));
}

TEST_F(SettingsAccount, SignOutStoresAnEmptyAccountAndNoSubkey) {
    CSettings settings;
    ASSERT_EQ(settings.SetAccount(L"acme", L""), ERROR_SUCCESS);
    EXPECT_EQ(DescribeTree(kSettingsKeyPath), (std::set<std::wstring>{L"K ", L"V |Account|REG_SZ"}));
    EXPECT_EQ(StoredString(ReadRaw(kSettingsKeyPath, kAccountValue)), L"");
}

TEST_F(SettingsAccount, NewAccountGetsTheDefaultFolderAndItsDatabasePath) {
    ScopedTree defaultRoot(DefaultAccountRoot(L"kim@acme"));
    CSettings settings;
    ASSERT_EQ(settings.SetAccount(L"acme", L"kim"), ERROR_SUCCESS);
    ASSERT_EQ(settings.LoadAccount(), S_OK);

    EXPECT_EQ(settings.GetRootDir(), defaultRoot.Path());
    EXPECT_TRUE(IsFolder(defaultRoot.Path()));
    EXPECT_EQ(settings.GetLocalStoragePath(), MakeLocalStoragePath(L"kim@acme", defaultRoot.Path().c_str()));
    EXPECT_EQ(StoredString(ReadRaw(AccountKey(L"kim@acme"), kRootDirValue)), defaultRoot.Path());
    EXPECT_EQ(StoredString(ReadRaw(AccountKey(L"kim@acme"), kLocalStorageValue)), settings.GetLocalStoragePath());
    EXPECT_FALSE(settings.HasSession());
    EXPECT_TRUE(settings.GetSyncFolders().IsEmpty());
}

TEST_F(SettingsAccount, LoadWithoutAnAccountFails) {
    CSettings settings;
    EXPECT_EQ(settings.LoadAccount(), E_SETTINGS_NO_ACCOUNT);
    EXPECT_EQ(settings.SetRootDir(nullptr), E_SETTINGS_NO_ACCOUNT);
}

TEST_F(SettingsAccount, SameRootInOtherLetterCaseWritesNothing) {
    ScopedTree root(MakeScratchFolder());
    CSettings settings;
    ASSERT_EQ(settings.SetAccount(L"acme", L"kim"), ERROR_SUCCESS);
    WriteRawString(AccountKey(L"kim@acme"), kRootDirValue, root.Path());
    ASSERT_EQ(settings.LoadAccount(), S_OK);
    WriteRawString(AccountKey(L"kim@acme"), kLocalStorageValue, L"C:\\sentinel.db");

    std::wstring upper = root.Path();
    CharUpperW(upper.data());
    EXPECT_EQ(settings.SetRootDir(upper.c_str()), S_OK);
    EXPECT_EQ(settings.GetRootDir(), root.Path());
    EXPECT_EQ(StoredString(ReadRaw(AccountKey(L"kim@acme"), kRootDirValue)), root.Path());
    EXPECT_EQ(StoredString(ReadRaw(AccountKey(L"kim@acme"), kLocalStorageValue)), L"C:\\sentinel.db");
}

TEST_F(SettingsAccount, NewRootIsCreatedAndItsDatabasePathStored) {
    ScopedTree scratch(MakeScratchFolder());
    const std::wstring oldRoot = scratch.Path() + L"\\old";
    const std::wstring newRoot = scratch.Path() + L"\\new";
    CSettings settings;
    ASSERT_EQ(settings.SetAccount(L"acme", L"kim"), ERROR_SUCCESS);
    WriteRawString(AccountKey(L"kim@acme"), kRootDirValue, oldRoot);
    ASSERT_EQ(settings.LoadAccount(), S_OK);

    EXPECT_EQ(settings.SetRootDir(newRoot.c_str()), S_OK);
    EXPECT_TRUE(IsFolder(newRoot));
    EXPECT_EQ(settings.GetRootDir(), newRoot);
    EXPECT_EQ(StoredString(ReadRaw(AccountKey(L"kim@acme"), kRootDirValue)), newRoot);
    EXPECT_EQ(StoredString(ReadRaw(AccountKey(L"kim@acme"), kLocalStorageValue)),
              MakeLocalStoragePath(L"kim@acme", newRoot.c_str()));

    // A folder that cannot be made keeps the old root; the database path
    // is written again from it.
    const std::wstring blocked = scratch.Path() + L"\\file";
    WriteTextFile(blocked, "x");
    EXPECT_EQ(settings.SetRootDir(blocked.c_str()), E_FAIL);
    EXPECT_EQ(settings.GetRootDir(), newRoot);
    EXPECT_EQ(StoredString(ReadRaw(AccountKey(L"kim@acme"), kRootDirValue)), newRoot);

    // Relative or over-long folders are refused before anything changes.
    EXPECT_EQ(settings.SetRootDir(L"relative\\folder"), E_INVALIDARG);
    EXPECT_EQ(settings.SetRootDir((L"C:\\" + std::wstring(300, L'x')).c_str()), E_INVALIDARG);
    EXPECT_EQ(settings.GetRootDir(), newRoot);
}

TEST_F(SettingsAccount, SessionAndSelectionComeBackOnTheNextStart) {
    ScopedTree root(MakeScratchFolder());
    {
        CSettings settings;
        ASSERT_EQ(settings.SetAccount(L"acme", L"kim"), ERROR_SUCCESS);
        WriteRawString(AccountKey(L"kim@acme"), kRootDirValue, root.Path());
        ASSERT_EQ(settings.LoadAccount(), S_OK);
        ASSERT_EQ(settings.SetSessionId(L"s-123"), ERROR_SUCCESS);
        CSyncFolderList selection;
        selection.Add(L"Zeta", 0xFFFFFFFFFFFFFFFFull);
        selection.Add(L"Alpha\\Beta", 0);
        selection.Add(L"Mid", 42);
        ASSERT_EQ(settings.SetSyncFolders(selection), S_OK);
    }
    CSettings later;
    later.LoadGlobal();
    ASSERT_EQ(later.LoadAccount(), S_OK);
    EXPECT_TRUE(later.HasSession());
    EXPECT_EQ(later.GetSessionId(), L"s-123");
    // Ids intact, in the order the registry hands the values out.
    const std::vector<SyncFolderEntry> entries = later.GetSyncFolders().GetEntries();
    brelio::UniqueRegKey key;
    ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, (AccountKey(L"kim@acme") + L"\\SyncFolder").c_str(), 0, KEY_READ,
                              key.Put()),
              ERROR_SUCCESS);
    const std::vector<std::wstring> order = ValueNamesInRegistryOrder(key.Get());
    key.Reset();
    ASSERT_EQ(entries.size(), 3u);
    ASSERT_EQ(order.size(), 3u);
    const std::map<std::wstring, uint64_t> ids = {{L"Zeta", 0xFFFFFFFFFFFFFFFFull}, {L"Alpha\\Beta", 0}, {L"Mid", 42}};
    for (size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(entries[i].path, order[i]);
        EXPECT_EQ(entries[i].folderId, ids.at(entries[i].path));
    }
}

TEST_F(SettingsAccount, EmptySelectionKeepsTheOldListOnDiskAndANewOneReplacesIt) {
    ScopedTree root(MakeScratchFolder());
    CSettings settings;
    ASSERT_EQ(settings.SetAccount(L"acme", L"kim"), ERROR_SUCCESS);
    WriteRawString(AccountKey(L"kim@acme"), kRootDirValue, root.Path());
    ASSERT_EQ(settings.LoadAccount(), S_OK);
    CSyncFolderList first;
    first.Add(L"A", 1);
    first.Add(L"B", 2);
    ASSERT_EQ(settings.SetSyncFolders(first), S_OK);

    CSyncFolderList none;
    ASSERT_EQ(settings.SetSyncFolders(none), S_OK);
    EXPECT_TRUE(settings.GetSyncFolders().IsEmpty());
    EXPECT_EQ(ReadRaw(AccountKey(L"kim@acme"), kSyncFolderValue).bytes, (std::vector<BYTE>{0, 0, 0, 0}));
    const std::wstring listKey = AccountKey(L"kim@acme") + L"\\SyncFolder";
    EXPECT_EQ(DescribeTree(listKey.c_str()),
              (std::set<std::wstring>{L"K ", L"V |A|REG_QWORD", L"V |B|REG_QWORD"}));
    EXPECT_EQ(settings.LoadAccount(), S_OK);
    EXPECT_TRUE(settings.GetSyncFolders().IsEmpty()) << "the old list is not read while the flag is 0";

    CSyncFolderList second;
    second.Add(L"C", 3);
    ASSERT_EQ(settings.SetSyncFolders(second), S_OK);
    EXPECT_EQ(DescribeTree(listKey.c_str()), (std::set<std::wstring>{L"K ", L"V |C|REG_QWORD"}));
    EXPECT_FALSE(settings.GetSyncFolders().IsDifferent(second));
}

}  // namespace
