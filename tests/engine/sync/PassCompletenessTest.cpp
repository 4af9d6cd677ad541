// What a pass may take as settled: the drive's revision and stale rows move
// only after work that really covered them, and a change carried out once
// is never carried out twice.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "BrelioSync/FileTimes.h"
#include "BrelioSync/SyncItem.h"
#include "DriveTree.h"
#include "EngineTest.h"
#include "Sha256.h"

using namespace brelio::test;

namespace {

class PassCompleteness : public EngineTest {
public:
    uint64_t StoredRevision() {
        uint64_t revision = 0;
        CLocalStorage storage(&m_mutex, m_database.c_str(), m_root.c_str());
        EXPECT_EQ(storage.GetLatestRevision(revision), S_OK);
        return revision;
    }

    uint64_t DriveRevision() {
        return std::stoull(ControlGet("/tree?session=" + m_account.session)["latestRevision"].asString());
    }

    ChangeRecordList ChangeRows() {
        ChangeRecordList changes;
        CLocalStorage storage(&m_mutex, m_database.c_str(), m_root.c_str());
        EXPECT_EQ(storage.GetChanges(changes, false), S_OK);
        return changes;
    }

    void Fail(const std::string& method, const std::string& path, int times) {
        Json::Value fault;
        fault["method"] = method;
        fault["path"] = path;
        fault["status"] = 500;
        fault["times"] = times;
        AddFault(fault);
    }
};

// Each fault leaves part of the first walk undone. Only when the walk
// stores nothing does the pass that follows it fetch the changes that the
// walk missed; otherwise they wait for the next program start.
struct WalkFault {
    const char* name;
    std::function<void(PassCompleteness&, uint64_t subId, uint64_t fileId)> apply;
};

class BrokenWalk : public PassCompleteness, public ::testing::WithParamInterface<WalkFault> {};

TEST_P(BrokenWalk, StoresNoRevisionAndTheNextPassFetchesWhatTheWalkMissed) {
    const Json::Value seeded = Seed({FolderItem("/sub"), FileWithContent("/sub/inner.txt", "inner"),
                                     FileWithContent("/top.txt", "top")});
    GetParam().apply(*this, IdOf(seeded[0]), IdOf(seeded[1]));
    m_engine.FullSync();
    EXPECT_EQ(ReadFileBytes(Local(L"sub\\inner.txt")), "inner");
    EXPECT_EQ(ReadFileBytes(Local(L"top.txt")), "top");
    EXPECT_EQ(StoredRevision(), DriveRevision());
}

INSTANTIATE_TEST_SUITE_P(
    Faults, BrokenWalk,
    ::testing::Values(
        WalkFault{"SubfolderListingFails",
                  [](PassCompleteness& test, uint64_t subId, uint64_t) {
                      // Only the walk lists folders; the changes feed does not.
                      test.Fail("GET", "^/files\\?parentId=" + std::to_string(subId) + "(&|$)", -1);
                  }},
        WalkFault{"DownloadFailsOnce",
                  [](PassCompleteness& test, uint64_t, uint64_t fileId) {
                      test.Fail("GET", "^/files/" + std::to_string(fileId) + "\\?media=raw", 1);
                  }}),
    [](const ::testing::TestParamInfo<WalkFault>& info) { return std::string(info.param.name); });

TEST_F(PassCompleteness, ARefusedWalkDropsNoRowAsStale) {
    const Json::Value remote = Seed({FileWithContent("/kept.txt", "kept")})[0];
    WriteLocal(L"kept.txt", "kept");
    FileRecord row = SyncedRow(remote, L"kept.txt");
    // Old enough for the clean-up to take it once its item is gone.
    row.last_write_time = SystemTimeTicks() - 40ull * 24 * 3600 * 10000000;
    SeedRows({row});
    ASSERT_TRUE(::DeleteFileW(Local(L"kept.txt").c_str()));  // the folder is empty now

    m_engine.FullSync();
    EXPECT_TRUE(HasRow(L"kept.txt")) << "an empty sync folder says nothing of which items are gone";
    EXPECT_FALSE(ItemAt("/kept.txt")["trashed"].asBool());
}

// After a walk refused for an empty folder, the rows say nothing of what is
// missing here, also for the engine of the next start: its walk brings
// back every drive item missing here and trashes none, what is here goes
// up, and a file here under a drive item's name keeps both contents.
TEST_F(PassCompleteness, AfterARefusedWalkTheNextStartBringsTheDriveBackAndTrashesNothing) {
    const Json::Value seeded = Seed({FileWithContent("/a.txt", "a"), FolderItem("/box"),
                                     FileWithContent("/box/in.txt", "in"), FileWithContent("/same.txt", "same")});
    WriteLocal(L"a.txt", "a");
    MakeLocalFolder(L"box");
    WriteLocal(L"box\\in.txt", "in");
    WriteLocal(L"same.txt", "same");
    SeedRows({SyncedRow(seeded[0], L"a.txt"), SyncedRow(seeded[1], L"box"), SyncedRow(seeded[2], L"box\\in.txt"),
              SyncedRow(seeded[3], L"same.txt")});
    {
        CLocalStorage storage(&m_mutex, m_database.c_str(), m_root.c_str());
        ASSERT_EQ(storage.SetLatestRevision(DriveRevision()), S_OK);
    }
    RemoveTree(m_root);
    ASSERT_TRUE(::CreateDirectoryW(m_root.c_str(), nullptr));  // made anew, empty
    m_engine.FullSync();
    const DriveTree drive = RemoteTree(m_account.session);
    ASSERT_EQ(drive.size(), 4u) << "the refused walk trashed nothing";

    WriteLocal(L"saved.txt", "saved");
    WriteLocal(L"same.txt", "written here since");
    CFileSyncThread restarted;
    restarted.Configure(m_engine.GetEnvironment());
    restarted.FullSync();

    DriveTree expected = drive;
    expected["saved.txt"] = Sha256Hex("saved");
    DriveTree remote = RemoteTree(m_account.session);
    std::string copy;
    for (const auto& [path, content] : remote)
        if (path.rfind("same(conflicted", 0) == 0) copy = path;
    ASSERT_FALSE(copy.empty()) << "what was written here under same.txt's name went up as a copy";
    EXPECT_EQ(remote[copy], Sha256Hex("written here since"));
    expected[copy] = remote[copy];
    EXPECT_EQ(TreeDifference(expected, remote), "");
    EXPECT_EQ(TreeDifference(expected, LocalTree(m_root)), "");
}

// An empty folder whose drive listing cannot be read may be a lost folder:
// the walk does not run on a guess, and the drive keeps every item.
TEST_F(PassCompleteness, AnEmptyFolderIsNotWalkedWhileTheDrivesListingCannotBeRead) {
    const Json::Value seeded = Seed({FileWithContent("/a.txt", "a"), FileWithContent("/b.txt", "b")});
    SeedRows({SyncedRow(seeded[0], L"a.txt"), SyncedRow(seeded[1], L"b.txt")});
    {
        CLocalStorage storage(&m_mutex, m_database.c_str(), m_root.c_str());
        ASSERT_EQ(storage.SetLatestRevision(DriveRevision()), S_OK);
    }
    const DriveTree drive = RemoteTree(m_account.session);
    Fail("GET", "^/files\\?parentId=", 1);  // the first look at the drive's top folder fails
    m_engine.FullSync();
    EXPECT_TRUE(m_engine.IsPassIncomplete());
    EXPECT_EQ(TreeDifference(drive, RemoteTree(m_account.session)), "") << "nothing was trashed";
}

TEST(SettledRevision, NeverPassesAChangeLeftUndone) {
    struct Case {
        uint64_t stored, highestFetched, lowestUnsettled, expected;
    } cases[] = {
        {5, 9, UINT64_MAX, 9},  // everything carried out
        {5, 9, 8, 7},           // stops just below the change left undone
        {5, 9, 6, 5},
        {5, 9, 3, 5},           // never below what was stored
        {5, 9, 0, 5},           // a change without a revision holds everything back
        {0, 9, 1, 0},
    };
    for (const Case& c : cases) {
        ReconcileOutcome outcome;
        outcome.lowestUnsettledRevision = c.lowestUnsettled;
        EXPECT_EQ(SettledRevision(c.stored, c.highestFetched, outcome), c.expected)
            << c.stored << " " << c.highestFetched << " " << c.lowestUnsettled;
    }
}

TEST(ChangeRevision, IsTheChangesOwnWhenItHasOne) {
    ChangeInfo change;
    change.revision = 12;
    change.file.revision = 4;
    EXPECT_EQ(ChangeRevision(change), 12u);
    change.revision = 0;
    EXPECT_EQ(ChangeRevision(change), 4u);
}

// A pass cut off after an action but before it struck the change off
// carries the change out once more: it must find the work done.
TEST_F(PassCompleteness, AChangeCarriedOutBeforeACrashIsNotCarriedOutTwice) {
    const Json::Value seeded = Seed({FileWithContent("/edited.txt", "old"), FileWithContent("/gone.txt", "gone")});
    WriteLocal(L"edited.txt", "new content");
    Json::Value upload;
    upload["op"] = "upload";
    upload["path"] = "/edited.txt";
    upload["content"] = Base64("new content");
    const Json::Value uploaded = Remote(upload);
    // The upload went through and its row was written; the deletion of
    // gone.txt reached the trash. Neither change was struck off.
    RecordSynced(uploaded, L"edited.txt");
    Json::Value trash;
    trash["op"] = "trash";
    trash["path"] = "/gone.txt";
    Remote(trash);
    {
        CLocalStorage storage(&m_mutex, m_database.c_str(), m_root.c_str());
        ASSERT_EQ(storage.SetLatestRevision(DriveRevision()), S_OK);
    }
    AddChangeRow({L"edited.txt", L"", false, CHANGE_ACTION_MODIFIED, IdOf(uploaded), {}});
    AddChangeRow({L"gone.txt", L"", false, CHANGE_ACTION_REMOVED, IdOf(seeded[1]), {}});
    ClearLog();

    m_engine.RunPartialPass();
    EXPECT_EQ(CountRequests("POST", "/update"), 0u) << "no second upload of the same content";
    EXPECT_EQ(CountItems(Items(), SYNC_ITEM_FAILED, L""), 0u) << "the trash finds the item gone already";
    EXPECT_TRUE(ChangeRows().empty()) << "both changes are settled";
    EXPECT_EQ(ItemAt("/edited.txt")["revision"].asString(), uploaded["revision"].asString());
}

TEST_F(PassCompleteness, ARecordWaitsInTheChangeTableUntilItsActionRan) {
    WriteLocal(L"first.txt", "1");
    WriteLocal(L"second.txt", "2");
    AddChangeRow({L"first.txt", L"", false, CHANGE_ACTION_ADDED, 0, {}});
    AddChangeRow({L"second.txt", L"", false, CHANGE_ACTION_ADDED, 0, {}});
    Fail("POST", "^/files", 1);  // the first upload of the pass fails
    m_engine.RunPartialPass();
    const ChangeRecordList left = ChangeRows();
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].name, L"first.txt");
    EXPECT_EQ(ItemAt("/second.txt")["sha256"].asString(), Sha256Hex("2"));

    m_engine.RunPartialPass();
    EXPECT_TRUE(ChangeRows().empty());
    EXPECT_EQ(ItemAt("/first.txt")["sha256"].asString(), Sha256Hex("1"));
}


// A folder that came here whole (one change for the folder alone) is done
// only once its content went up: until then its change waits in the table.
TEST_F(PassCompleteness, AFolderAddedHereWaitsInTheChangeTableUntilItsContentWentUp) {
    MakeLocalFolder(L"box");
    WriteLocal(L"box\\in.txt", "in");
    AddChangeRow({L"box", L"", true, CHANGE_ACTION_ADDED, 0, {}});
    Fail("POST", "^/files\\?", 1);  // the upload of its file fails once
    m_engine.RunPartialPass();
    EXPECT_EQ(ChangeRows().size(), 1u) << "the folder's content did not go up";

    m_engine.RunPartialPass();
    EXPECT_TRUE(ChangeRows().empty());
    EXPECT_EQ(ItemAt("/box/in.txt")["sha256"].asString(), Sha256Hex("in"));
}

// An item removed here and gone from the drive is settled by dropping its
// row. Left standing, the row would say "in sync" of an item that is
// nowhere: a row the database refuses to drop is a failed item, not a done
// one, and its change waits for the next pass.
TEST_F(PassCompleteness, ARemovalIsNotDoneWhileItsRowCannotBeDropped) {
    const struct Case {
        const char* name;
        bool isFolder;
        bool feedCarriesTheTrash;  // else the drive is asked about the item
    } cases[] = {
        {"a file, its trash in the changes feed", false, true},
        {"a folder, its trash in the changes feed", true, true},
        {"a folder the drive no longer has", true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ResetDatabase();
        ClearFaults();
        const std::wstring name = c.isFolder ? L"gone" : L"gone.txt";
        const std::string remotePath = c.isFolder ? "/gone" : "/gone.txt";
        const Json::Value remote = Seed({c.isFolder ? FolderItem(remotePath) : FileWithContent(remotePath, "g")})[0];
        if (c.isFolder)
            MakeLocalFolder(name);
        else
            WriteLocal(name, "g");
        RecordSynced(remote, name);
        auto storeDriveRevision = [&] {
            CLocalStorage storage(&m_mutex, m_database.c_str(), m_root.c_str());
            ASSERT_EQ(storage.SetLatestRevision(DriveRevision()), S_OK);
        };
        if (c.feedCarriesTheTrash) storeDriveRevision();
        Json::Value trash;
        trash["op"] = "trash";
        trash["path"] = remotePath;
        Remote(trash);
        if (!c.feedCarriesTheTrash) storeDriveRevision();
        if (c.isFolder)
            RemoveTree(Local(name));
        else
            ASSERT_TRUE(::DeleteFileW(Local(name).c_str()));
        AddChangeRow({name, L"", c.isFolder, CHANGE_ACTION_REMOVED, IdOf(remote), {}});
        Sql("CREATE TRIGGER refuse_drop BEFORE DELETE ON file BEGIN SELECT RAISE(ABORT, 'refused'); END");
        Items();

        m_engine.RunPartialPass();
        const std::vector<PostedMessage> items = Items();
        EXPECT_EQ(CountItems(items, SYNC_ITEM_FAILED, name), 1u);
        EXPECT_EQ(CountItems(items, SYNC_ITEM_DONE, name), 0u);
        EXPECT_EQ(ChangeRows().size(), 1u) << "the change waits for the next pass";

        Sql("DROP TRIGGER refuse_drop");
        m_engine.RunPartialPass();
        EXPECT_TRUE(ChangeRows().empty());
        EXPECT_FALSE(HasRow(name));
    }
}

// A walk that could not record a folder found on both sides has not
// brought it into agreement: the folder is a failed item, and the walk
// is not whole.
TEST_F(PassCompleteness, AWalkThatCouldNotRecordAFolderIsNotWhole) {
    Seed({FolderItem("/box"), FileWithContent("/box/in.txt", "in")});
    MakeLocalFolder(L"box");
    Sql("CREATE TRIGGER refuse_box BEFORE INSERT ON file WHEN NEW.name = 'box' "
        "BEGIN SELECT RAISE(ABORT, 'refused'); END");
    Items();
    m_engine.FullSync();
    EXPECT_TRUE(m_engine.IsPassIncomplete());
    EXPECT_EQ(CountItems(Items(), SYNC_ITEM_FAILED, L"box"), 1u);
}

}  // namespace
