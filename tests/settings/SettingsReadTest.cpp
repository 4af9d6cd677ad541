// How the settings read what is stored: values that are not proper strings
// or flags count as absent and are left exactly as they were.
#include <gtest/gtest.h>

#include "BrelioServices/GlobalSettings.h"
#include "BrelioServices/RegistryLayout.h"
#include "BrelioServices/Settings.h"
#include "ProgramKeys.h"
#include "TestFiles.h"

namespace {

using SettingsRead = ProgramKeysTest;

struct RawCase {
    const char* what;
    DWORD type;
    std::wstring text;  // the characters written
    DWORD bytes;        // how many bytes of them
};

TEST_F(SettingsRead, AccountThatIsNoProperStringIsIgnoredAndKept) {
    // The character after the counted bytes is not NUL, so nothing adds a
    // terminator on the way in.
    const std::wstring longAccount = std::wstring(124, L'k') + L"@acme";
    const RawCase cases[] = {
        {"without terminator", REG_SZ, L"kim@acmeX", 8 * sizeof(wchar_t)},
        {"odd byte count", REG_SZ, L"kim@acmeX", 8 * sizeof(wchar_t) + 1},
        {"binary", REG_BINARY, L"kim@acme", 9 * sizeof(wchar_t)},
        {"multi-string", REG_MULTI_SZ, std::wstring(L"kim@acme\0\0", 10), 10 * sizeof(wchar_t)},
        {"longer than readers take", REG_SZ, longAccount, static_cast<DWORD>((longAccount.size() + 1) * 2)},
        {"naming another key", REG_SZ, L"a\\b@acme", 9 * sizeof(wchar_t)},
        {"tenant with a dot", REG_SZ, L"kim@ac.me", 10 * sizeof(wchar_t)},
    };
    for (const RawCase& c : cases) {
        SCOPED_TRACE(c.what);
        DeleteProgramKeys();
        WriteRaw(kSettingsKeyPath, kAccountValue, c.type, c.text.c_str(), c.bytes);
        const RawValue before = ReadRaw(kSettingsKeyPath, kAccountValue);
        ASSERT_EQ(before.bytes.size(), c.bytes);

        CSettings settings;
        EXPECT_EQ(settings.LoadGlobal(), 0);
        EXPECT_EQ(settings.GetAccount(), L"");
        EXPECT_EQ(ReadRaw(kSettingsKeyPath, kAccountValue), before);
    }
}

TEST_F(SettingsRead, ExpandableStringIsTakenAsStored) {
    WriteRawString(kSettingsKeyPath, kAccountValue, L"%USERNAME%@acme", REG_EXPAND_SZ);
    CSettings settings;
    settings.LoadGlobal();
    EXPECT_EQ(settings.GetAccount(), L"%USERNAME%@acme");
    EXPECT_EQ(settings.GetTenant(), L"acme");
}

TEST_F(SettingsRead, FlagIsOnOnlyForTheDwordOne) {
    struct FlagCase {
        const char* what;
        DWORD type;
        BYTE bytes[8];
        DWORD size;
        bool on;
    } cases[] = {
        {"dword 1", REG_DWORD, {1, 0, 0, 0}, 4, true},
        {"dword 2", REG_DWORD, {2, 0, 0, 0}, 4, false},
        {"dword 0", REG_DWORD, {0, 0, 0, 0}, 4, false},
        {"dword 0x101", REG_DWORD, {1, 1, 0, 0}, 4, false},
        {"string 1", REG_SZ, {'1', 0, 0, 0}, 4, false},
        {"binary 1", REG_BINARY, {1, 0, 0, 0}, 4, false},
        {"qword 1", REG_QWORD, {1, 0, 0, 0, 0, 0, 0, 0}, 8, false},
    };
    for (const FlagCase& c : cases) {
        SCOPED_TRACE(c.what);
        DeleteProgramKeys();
        for (const wchar_t* name : {kEnableLoggingValue, kAutoLoginValue, kTestModeValue})
            WriteRaw(kSettingsKeyPath, name, c.type, c.bytes, c.size);
        CSettings settings;
        settings.LoadGlobal();
        EXPECT_EQ(settings.IsLoggingEnabled(), c.on);
        EXPECT_EQ(settings.IsAutoLogin(), c.on);
        EXPECT_EQ(IsTestMode(), c.on);
    }
}

TEST_F(SettingsRead, SyncIdleTimeIsADwordReadOnEachUse) {
    EXPECT_EQ(GetSyncIdleTime(), 600000u) << "no settings key";
    WriteRawDword(kSettingsKeyPath, kSyncIdleTimeValue, 1234);
    EXPECT_EQ(GetSyncIdleTime(), 1234u);
    WriteRawDword(kSettingsKeyPath, kSyncIdleTimeValue, 4321);
    EXPECT_EQ(GetSyncIdleTime(), 4321u);
    WriteRawString(kSettingsKeyPath, kSyncIdleTimeValue, L"1234");
    EXPECT_EQ(GetSyncIdleTime(), 600000u) << "REG_SZ";
    const BYTE binary[] = {0x10, 0, 0, 0};
    WriteRaw(kSettingsKeyPath, kSyncIdleTimeValue, REG_BINARY, binary, sizeof(binary));
    EXPECT_EQ(GetSyncIdleTime(), 600000u) << "REG_BINARY";
}

TEST_F(SettingsRead, TestModeIsReadOnEachUse) {
    EXPECT_FALSE(IsTestMode());
    WriteRawDword(kSettingsKeyPath, kTestModeValue, 1);
    EXPECT_TRUE(IsTestMode());
    WriteRawDword(kSettingsKeyPath, kTestModeValue, 2);
    EXPECT_FALSE(IsTestMode());
}

TEST_F(SettingsRead, FirstRunCountsForOneStartOnly) {
    WriteRawDword(kSettingsKeyPath, kFirstRunValue, 1);
    CSettings first;
    first.LoadGlobal();
    EXPECT_TRUE(first.IsFirstRun());
    const RawValue stored = ReadRaw(kSettingsKeyPath, kFirstRunValue);
    EXPECT_EQ(stored.type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(stored.bytes, (std::vector<BYTE>{0, 0, 0, 0}));

    CSettings second;
    second.LoadGlobal();
    EXPECT_FALSE(second.IsFirstRun());

    // An abandoned first start makes the next one a first run again.
    SetFirstRun(true);
    CSettings third;
    third.LoadGlobal();
    EXPECT_TRUE(third.IsFirstRun());
}

TEST_F(SettingsRead, UnusableRootAndDatabaseValuesAreKeptButNotUsed) {
    ScopedTree defaultRoot(DefaultAccountRoot(L"kim@acme"));
    const std::wstring account = kSettingsKeyPath + std::wstring(L"\\kim@acme");
    WriteRawString(kSettingsKeyPath, kAccountValue, L"kim@acme");
    // RootDir without its terminator, LocalStorage relative.
    const std::wstring cut = L"C:\\Elsewhere\\X";
    WriteRaw(account, kRootDirValue, REG_SZ, cut.c_str(), static_cast<DWORD>((cut.size() - 1) * sizeof(wchar_t)));
    WriteRawString(account, kLocalStorageValue, L"relative.db");
    const RawValue rootBefore = ReadRaw(account, kRootDirValue);
    const RawValue storageBefore = ReadRaw(account, kLocalStorageValue);

    CSettings settings;
    settings.LoadGlobal();
    ASSERT_EQ(settings.LoadAccount(), S_OK);
    EXPECT_EQ(settings.GetRootDir(), defaultRoot.Path());
    EXPECT_TRUE(IsFolder(defaultRoot.Path()));
    EXPECT_NE(settings.GetLocalStoragePath(), L"relative.db");
    EXPECT_EQ(ReadRaw(account, kRootDirValue), rootBefore);
    EXPECT_EQ(ReadRaw(account, kLocalStorageValue), storageBefore);
}

}  // namespace
