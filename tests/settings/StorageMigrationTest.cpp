// A first run gives every account's database the name its sync folder
// calls for.
#include <gtest/gtest.h>

#include "BrelioServices/DatabasePath.h"
#include "BrelioServices/RegistryLayout.h"
#include "BrelioServices/Settings.h"
#include "BrelioServices/StorageMigration.h"
#include "ProgramKeys.h"
#include "TestFiles.h"

namespace {

class StorageMigration : public ProgramKeysTest {
protected:
    void SetUp() override {
        ProgramKeysTest::SetUp();
        m_oldPath = m_scratch.Path() + L"\\old-name.db";
        WriteTextFile(m_oldPath, "database");
        m_newPath = MakeLocalStoragePath(L"mig@acme", L"C:\\MigratedRoot");
        ASSERT_FALSE(m_newPath.empty());
        RemoveTree(m_newPath);
        WriteRawString(kAccountKey, kRootDirValue, L"C:\\MigratedRoot");
        WriteRawString(kAccountKey, kLocalStorageValue, m_oldPath);
    }
    void TearDown() override {
        RemoveTree(m_newPath);
        ProgramKeysTest::TearDown();
    }

    const std::wstring kAccountKey = kSettingsKeyPath + std::wstring(L"\\mig@acme");
    ScopedTree m_scratch{MakeScratchFolder()};
    std::wstring m_oldPath;
    std::wstring m_newPath;
};

TEST_F(StorageMigration, FirstRunMovesTheFileAndLeavesTheStoredPath) {
    WriteRawDword(kSettingsKeyPath, kFirstRunValue, 1);
    CSettings settings;
    settings.LoadGlobal();

    EXPECT_FALSE(PathExists(m_oldPath));
    EXPECT_TRUE(PathExists(m_newPath));
    EXPECT_EQ(StoredString(ReadRaw(kAccountKey, kLocalStorageValue)), m_oldPath);
}

TEST_F(StorageMigration, OrdinaryStartMovesNothing) {
    CSettings settings;
    settings.LoadGlobal();
    EXPECT_TRUE(PathExists(m_oldPath));
    EXPECT_FALSE(PathExists(m_newPath));
}

TEST_F(StorageMigration, FileAlreadyAtTheNewNameIsNeverReplaced) {
    MigrateAllLocalStorages();
    ASSERT_TRUE(PathExists(m_newPath));
    WriteTextFile(m_oldPath, "an older copy");

    MigrateAllLocalStorages();
    EXPECT_TRUE(PathExists(m_oldPath));
    EXPECT_TRUE(PathExists(m_newPath));
}

TEST_F(StorageMigration, SubkeysThatAreNoAccountsAreSkipped) {
    // The same values, but only under a name without "@".
    DeleteProgramKeys();
    const std::wstring other = kSettingsKeyPath + std::wstring(L"\\SettingsChange");
    WriteRawString(other, kRootDirValue, L"C:\\MigratedRoot");
    WriteRawString(other, kLocalStorageValue, m_oldPath);

    MigrateAllLocalStorages();
    EXPECT_TRUE(PathExists(m_oldPath));
}

}  // namespace
