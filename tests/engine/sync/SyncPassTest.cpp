#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "BrelioCore/JXEvent.h"
#include "BrelioCore/StringTable.h"
#include "BrelioCore/UniqueHandle.h"
#include "BrelioSync/EngineStringIds.h"
#include "BrelioSync/SyncItem.h"
#include "EngineTest.h"
#include "Sha256.h"

using namespace brelio::test;

namespace {

bool PathExists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

class SyncPass : public EngineTest {
protected:
    void TearDown() override {
        m_stop.SetEvent();
        m_engine.Close(INFINITE);
        EngineTest::TearDown();
    }

    // The pass statuses (1014 or 1015) posted until `ends` passes ended or
    // the time ran out.
    std::vector<UINT> PassStatuses(size_t ends, DWORD milliseconds = 30000) {
        const ULONGLONG deadline = ::GetTickCount64() + milliseconds;
        size_t ended = 0;
        do {
            for (const PostedMessage& item : Items()) {
                if (item.kind != SYNC_ITEM_STATUS) continue;
                if (item.path == LoadStringText(IDS_SYNC_STARTED)) m_statuses.push_back(IDS_SYNC_STARTED);
                if (item.path == LoadStringText(IDS_SYNC_COMPLETED)) {
                    m_statuses.push_back(IDS_SYNC_COMPLETED);
                    ++ended;
                }
            }
            if (ended < ends) ::Sleep(20);
        } while (ended < ends && ::GetTickCount64() < deadline);
        return m_statuses;
    }

    uint64_t StoredRevision() {
        uint64_t revision = 0;
        CLocalStorage storage(&m_mutex, m_database.c_str(), m_root.c_str());
        EXPECT_EQ(storage.GetLatestRevision(revision), S_OK);
        return revision;
    }

    uint64_t DriveRevision() { return std::stoull(ControlGet("/tree?session=" + m_account.session)["latestRevision"].asString()); }

    void RunPassBeside(std::thread& pass) {
        pass = std::thread([this] {
            const brelio::ComInitScope com;
            m_engine.RunPartialPass();
        });
    }

    // The pass statuses posted since the last look, by string id; 0 for a
    // status of some other text.
    std::vector<UINT> PostedStatuses() {
        std::vector<UINT> ids;
        for (const PostedMessage& item : Items()) {
            if (item.kind != SYNC_ITEM_STATUS) continue;
            UINT id = 0;
            for (const UINT known : {IDS_SYNC_STARTED, IDS_SYNC_COMPLETED, IDS_SYNC_FOLDER_GONE, IDS_SYNC_INCOMPLETE})
                if (item.path == LoadStringText(known)) id = known;
            ids.push_back(id);
        }
        return ids;
    }

    CJXEvent m_partial{false, false, nullptr};
    CJXEvent m_full{false, false, nullptr};
    std::vector<UINT> m_statuses;
};

TEST_F(SyncPass, PartialGoesBeforeFullAndEachPassIsBracketedByItsStatuses) {
    m_full.SetEvent();
    m_partial.SetEvent();
    ASSERT_EQ(m_engine.Start(m_engine.GetEnvironment(), &m_partial, &m_full), S_OK);
    const std::vector<UINT> statuses = PassStatuses(2);
    EXPECT_EQ(statuses, (std::vector<UINT>{IDS_SYNC_STARTED, IDS_SYNC_COMPLETED, IDS_SYNC_STARTED, IDS_SYNC_COMPLETED}));
    const std::string log = LogText();
    const size_t partial = log.find("Partial Sync started.");
    const size_t full = log.find("Full Sync started.");
    ASSERT_NE(partial, std::string::npos);
    ASSERT_NE(full, std::string::npos);
    EXPECT_LT(partial, full);
}

// Only a pass that did all it had to says that the sync completed. A walk
// refused for an empty folder ends with that warning, and so does every
// pass until a walk of the folder succeeds; a pass with an item failed
// ends saying so.
TEST_F(SyncPass, OnlyAPassThatDidEverythingSaysTheSyncCompleted) {
    const Json::Value kept = Seed({FileWithContent("/kept.txt", "kept")})[0];
    WriteLocal(L"kept.txt", "kept");
    RecordSynced(kept, L"kept.txt");
    ASSERT_TRUE(::DeleteFileW(Local(L"kept.txt").c_str()));  // the folder is empty now
    auto failOnce = [this](const std::string& method, const std::string& path) {
        Json::Value fault;
        fault["method"] = method;
        fault["path"] = path;
        fault["status"] = 500;
        fault["times"] = 1;
        AddFault(fault);
    };
    struct Step {
        const char* what;
        std::function<void()> run;
        UINT closing;
    };
    const Step steps[] = {
        {"a walk refused for the empty folder", [&] { m_engine.FullSync(); }, IDS_SYNC_FOLDER_GONE},
        {"a partial pass while the refusal stands", [&] { m_engine.RunPartialPass(); }, IDS_SYNC_FOLDER_GONE},
        {"a walk of the folder holding something again",
         [&] {
             WriteLocal(L"new.txt", "new");
             m_engine.FullSync();
         },
         IDS_SYNC_COMPLETED},
        {"a partial pass whose fetch fails",
         [&] {
             failOnce("GET", "^/changes");
             m_engine.RunPartialPass();
         },
         IDS_SYNC_INCOMPLETE},
        {"a walk whose download fails",
         [&] {
             Json::Value upload;
             upload["op"] = "upload";
             upload["path"] = "/later.txt";
             upload["content"] = Base64("later");
             failOnce("GET", "^/files/" + std::to_string(IdOf(Remote(upload))) + "\\?media=raw");
             m_engine.FullSync();
         },
         IDS_SYNC_INCOMPLETE},
        {"a partial pass that fetches what the walk missed", [&] { m_engine.RunPartialPass(); }, IDS_SYNC_COMPLETED},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        PostedStatuses();
        step.run();
        EXPECT_EQ(PostedStatuses(), (std::vector<UINT>{IDS_SYNC_STARTED, step.closing}));
    }
    EXPECT_EQ(ReadFileBytes(Local(L"later.txt")), "later");
}

TEST_F(SyncPass, SeveralRequestsDuringAPassGiveOneMorePass) {
    Json::Value slow;
    slow["method"] = "GET";
    slow["path"] = "^/changes";
    slow["delayMs"] = 1500;
    AddFault(slow);
    ASSERT_EQ(m_engine.Start(m_engine.GetEnvironment(), &m_partial, &m_full), S_OK);
    m_partial.SetEvent();
    const ULONGLONG deadline = ::GetTickCount64() + 10000;
    while (PassStatuses(0).empty() && ::GetTickCount64() < deadline) ::Sleep(20);
    ASSERT_FALSE(m_statuses.empty()) << "the first pass started";
    for (int i = 0; i < 3; ++i) m_partial.SetEvent();
    PassStatuses(2);
    ::Sleep(1500);  // room for a wrong third pass to start
    PassStatuses(0);
    EXPECT_EQ(m_statuses, (std::vector<UINT>{IDS_SYNC_STARTED, IDS_SYNC_COMPLETED, IDS_SYNC_STARTED, IDS_SYNC_COMPLETED}));
}

TEST_F(SyncPass, AFailedFetchStoresNoRevisionAndTheNextPassFetchesAgain) {
    Seed({FileItem("/a.bin", 300)});
    Json::Value broken;
    broken["method"] = "GET";
    broken["path"] = "^/changes";
    broken["status"] = 500;
    AddFault(broken);
    m_engine.RunPartialPass();
    EXPECT_EQ(StoredRevision(), 0u);
    EXPECT_FALSE(PathExists(Local(L"a.bin")));
    m_engine.RunPartialPass();
    EXPECT_EQ(Sha256HexOfFile(Local(L"a.bin")), ItemAt("/a.bin")["sha256"].asString());
    EXPECT_EQ(StoredRevision(), DriveRevision());
}

TEST_F(SyncPass, AChangeMadeElsewhereDuringAPassIsFetchedByTheNext) {
    Seed({FileItem("/a.bin", 300)});
    // a.bin's download is held while the drive changes.
    Json::Value slow;
    slow["method"] = "GET";
    slow["path"] = "media=raw";
    slow["delayMs"] = 1500;
    AddFault(slow);
    std::thread pass;
    RunPassBeside(pass);
    // The download is held: the pass has read the changes it will carry out.
    EXPECT_TRUE(WaitForFaultsTaken()) << "the download reached the stand-in";
    Json::Value upload;
    upload["op"] = "upload";
    upload["path"] = "/b.bin";
    upload["size"] = 200;
    Remote(upload);
    pass.join();
    EXPECT_TRUE(PathExists(Local(L"a.bin")));
    EXPECT_LT(StoredRevision(), DriveRevision()) << "b.bin's change is not skipped";
    m_engine.RunPartialPass();
    EXPECT_EQ(Sha256HexOfFile(Local(L"b.bin")), ItemAt("/b.bin")["sha256"].asString());
}

// A file renamed here, and a removal of it recorded before its rename: the
// removal is what a look at the old name alone found before the rename was
// read, and a pass can meet both (the rename recorded while a pass ran).
// The drive keeps the item, renamed.
TEST_F(SyncPass, ARemovalRecordedBeforeARenameOfTheSameFileKeepsTheFile) {
    const Json::Value remote = Seed({FileWithContent("/a.txt", "content")})[0];
    WriteLocal(L"a.txt", "content");
    RecordSynced(remote, L"a.txt");
    {
        CLocalStorage storage(&m_mutex, m_database.c_str(), m_root.c_str());
        ASSERT_EQ(storage.SetLatestRevision(DriveRevision()), S_OK);
    }
    ASSERT_TRUE(::MoveFileW(Local(L"a.txt").c_str(), Local(L"b.txt").c_str()));
    const uint64_t id = IdOf(remote);
    AddChangeRow({L"a.txt", L"", false, CHANGE_ACTION_REMOVED, id, {}});
    Sql("UPDATE file SET name='b.txt', status=2 WHERE name='a.txt'");
    AddChangeRow({L"b.txt", L"a.txt", false, CHANGE_ACTION_RENAMED, id, {}});
    m_engine.RunPartialPass();
    Items();
    const Json::Value renamed = Item(id);
    EXPECT_FALSE(renamed["trashed"].asBool());
    EXPECT_EQ(renamed["path"].asString(), "/b.txt");
    EXPECT_EQ(Row(L"b.txt").status, FILE_STATUS_SYNCED);
}

TEST_F(SyncPass, AStopKeepsTheLocalChangesNotCarriedOutAndTheRemoteOnesUnstored) {
    Seed({FileItem("/remote.bin", 100)});
    WriteLocal(L"a.txt", "first");
    WriteLocal(L"b.txt", "second");
    AddChangeRow({L"a.txt", L"", false, CHANGE_ACTION_ADDED, 0, {}});
    AddChangeRow({L"b.txt", L"", false, CHANGE_ACTION_ADDED, 0, {}});
    Json::Value slow;
    slow["method"] = "POST";
    slow["delayMs"] = 1500;
    AddFault(slow);
    std::thread pass;
    RunPassBeside(pass);
    // The first upload is held: the stop comes while the pass carries out
    // the local changes.
    EXPECT_TRUE(WaitForFaultsTaken()) << "the upload reached the stand-in";
    m_stop.SetEvent();
    pass.join();
    EXPECT_FALSE(PathExists(Local(L"remote.bin")));
    EXPECT_LT(StoredRevision(), std::stoull(ItemAt("/remote.bin")["revision"].asString()))
        << "remote.bin was not downloaded: its change is fetched again";

    m_stop.ResetEvent();
    m_engine.Configure(m_engine.GetEnvironment());
    m_engine.RunPartialPass();
    EXPECT_EQ(ItemAt("/b.txt")["sha256"].asString(), Sha256Hex("second")) << "b.txt's row survived the stop";
    EXPECT_EQ(ItemAt("/a.txt")["sha256"].asString(), Sha256Hex("first"));
    EXPECT_TRUE(PathExists(Local(L"remote.bin")));
}

TEST_F(SyncPass, ARemoteEditOfALocallyEditedFileKeepsBothContents) {
    const Json::Value remote = Seed({FileWithContent("/doc.txt", "original")})[0];
    WriteLocal(L"doc.txt", "original");
    RecordSynced(remote, L"doc.txt");
    {
        CLocalStorage storage(&m_mutex, m_database.c_str(), m_root.c_str());
        ASSERT_EQ(storage.SetLatestRevision(DriveRevision()), S_OK);
    }
    ::Sleep(50);
    WriteLocal(L"doc.txt", "edited here");
    Json::Value upload;
    upload["op"] = "upload";
    upload["path"] = "/doc.txt";
    upload["content"] = Base64("edited there");
    Remote(upload);
    m_engine.RunPartialPass();
    EXPECT_EQ(ReadFileBytes(Local(L"doc.txt")), "edited there");
    size_t copies = 0;
    const Json::Value tree = ControlGet("/tree?session=" + m_account.session);
    for (const Json::Value& item : tree["items"]) {
        if (item["trashed"].asBool() || item["name"].asString() == "doc.txt") continue;
        ++copies;
        EXPECT_EQ(Item(IdOf(item))["sha256"].asString(), Sha256Hex("edited here"));
    }
    EXPECT_EQ(copies, 1u) << "the local edit was kept as a conflict copy and uploaded";
}

TEST_F(SyncPass, ARunKeepsTheSelectionItStartedWith) {
    const Json::Value folders = Seed({FolderItem("/chosen"), FolderItem("/other")});
    m_selection.Add(L"chosen", IdOf(folders[0]));
    ASSERT_EQ(m_engine.Start(m_engine.GetEnvironment(), &m_partial, &m_full), S_OK);
    m_selection.Clear();  // the settings rewritten while the thread runs
    Seed({FileWithContent("/chosen/in.txt", "in"), FileWithContent("/other/out.txt", "out")});
    ASSERT_TRUE(::CreateDirectoryW(Local(L"chosen").c_str(), nullptr));
    m_partial.SetEvent();
    PassStatuses(1);
    EXPECT_EQ(ReadFileBytes(Local(L"chosen\\in.txt")), "in");
    EXPECT_FALSE(PathExists(Local(L"other\\out.txt")));
}

}  // namespace
