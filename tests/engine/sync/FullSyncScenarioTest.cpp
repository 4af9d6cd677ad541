#include <gtest/gtest.h>

#include <windows.h>
#include <shlwapi.h>

#include <map>
#include <string>

#include "BrelioCore/TextConvert.h"
#include "BrelioSync/SyncItem.h"
#include "DriveTree.h"
#include "EngineTest.h"
#include "Sha256.h"

using namespace brelio::test;

namespace {

// Every file under the folder: its path to its content's SHA-256.
DriveTree FilesUnder(const std::wstring& folder) { return FilesOf(LocalTree(folder)); }

// The path of a tree as a row name.
std::wstring RowName(const std::string& path) {
    std::wstring name = brelio::Utf8ToWide(path);
    for (wchar_t& c : name)
        if (c == L'/') c = L'\\';
    return name;
}

size_t CountWrites(const Json::Value& requests) {
    size_t writes = 0;
    for (const Json::Value& entry : requests)
        if (entry["method"].asString() != "GET" || entry["path"].asString().find("media=raw") != std::string::npos ||
            entry["query"].asString().find("media=raw") != std::string::npos)
            ++writes;
    return writes;
}

class FullSyncScenario : public EngineTest {
protected:
    bool RemoteHasName(const std::string& name) {
        return HasItemNamed(RemoteTree(m_account.session, TrashedItems::Included), name);
    }

    void SeedTree() {
        Json::Value items(Json::arrayValue);
        items.append(FolderItem("/docs"));
        items.append(FileWithContent("/docs/plan.txt", "the plan"));
        items.append(FolderItem("/docs/deep"));
        Json::Value big;
        big["path"] = "/docs/deep/data.bin";
        big["type"] = "file";
        big["size"] = 1500000;
        items.append(big);
        items.append(FileWithContent("/readme.md", "hello"));
        items.append(FolderItem("/empty"));
        Seed(items);
    }
};

TEST_F(FullSyncScenario, FirstSyncIntoAnEmptyFolderDownloadsTheTreeExactly) {
    SeedTree();
    ASSERT_EQ(m_engine.FullSyncWalk(), S_OK);
    const auto files = FilesUnder(m_root);
    ASSERT_EQ(files.size(), 3u);
    for (const char* path : {"/docs/plan.txt", "/docs/deep/data.bin", "/readme.md"}) {
        ASSERT_TRUE(files.count(path + 1)) << path;
        EXPECT_EQ(files.at(path + 1), ItemAt(path)["sha256"].asString()) << path;
        const FileRecord row = Row(RowName(path + 1));
        EXPECT_EQ(row.status, FILE_STATUS_SYNCED);
        EXPECT_EQ(row.file_id, IdOf(ItemAt(path)));
        EXPECT_EQ(row.size, ReadFileBytes(Local(RowName(path + 1))).size());
    }
    EXPECT_TRUE(::PathIsDirectoryW(Local(L"empty").c_str()));
    EXPECT_EQ(Row(L"docs\\deep").status, FILE_STATUS_SYNCED);
    const auto items = Items();
    EXPECT_EQ(CountItems(items, SYNC_ITEM_FAILED, L""), 0u);
    EXPECT_EQ(CountItems(items, SYNC_ITEM_DONE, L"\\docs\\deep\\data.bin"), 1u);
}

TEST_F(FullSyncScenario, SecondSyncOfAnUnchangedTreeWritesNothing) {
    SeedTree();
    WriteLocal(L"local.txt", "made here");
    ASSERT_EQ(m_engine.FullSyncWalk(), S_OK);
    const size_t rows = RowCount();
    const auto before = FilesUnder(m_root);
    Items();
    ClearLog();
    ASSERT_EQ(m_engine.FullSyncWalk(), S_OK);
    EXPECT_EQ(CountWrites(Requests()), 0u) << "no upload, download, creation or deletion";
    EXPECT_EQ(FilesUnder(m_root), before);
    EXPECT_EQ(RowCount(), rows);
    EXPECT_EQ(CountItems(Items(), SYNC_ITEM_FAILED, L""), 0u);
}

TEST_F(FullSyncScenario, AStopEndsTheWalkBeforeItsNextItem) {
    SeedTree();
    m_stop.SetEvent();
    EXPECT_EQ(m_engine.FullSyncWalk(), S_OK);
    EXPECT_TRUE(m_engine.IsStopSeen());
    EXPECT_TRUE(FilesUnder(m_root).empty());
    EXPECT_EQ(CountWrites(Requests()), 0u);
}

TEST_F(FullSyncScenario, EditsOnBothSidesKeepBothContents) {
    Seed({FileWithContent("/a.txt", "base")});
    ASSERT_EQ(m_engine.FullSyncWalk(), S_OK);
    WriteLocal(L"a.txt", "local edit, longer");
    Json::Value change;
    change["op"] = "upload";
    change["path"] = "/a.txt";
    change["content"] = Base64("remote edit");
    Remote(change);
    ASSERT_EQ(m_engine.FullSyncWalk(), S_OK);

    const auto files = FilesUnder(m_root);
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files.at("a.txt"), Sha256Hex("remote edit"));
    std::string copyName;
    for (const auto& [name, content] : files)
        if (name != "a.txt") copyName = name;
    EXPECT_EQ(copyName.rfind("a(conflicted and copied from ", 0), 0u) << copyName;
    EXPECT_EQ(copyName.substr(copyName.size() - 5), ").txt");
    EXPECT_EQ(files.at(copyName), Sha256Hex("local edit, longer"));
    const Json::Value remoteCopy = ItemAt("/" + copyName);
    EXPECT_EQ(remoteCopy["sha256"].asString(), Sha256Hex("local edit, longer"));
    EXPECT_EQ(ItemAt("/a.txt")["sha256"].asString(), Sha256Hex("remote edit"));
    EXPECT_EQ(Row(RowName(copyName)).status, FILE_STATUS_SYNCED);
}

TEST_F(FullSyncScenario, HostileRemoteNamesWriteNothingOutsideTheFolder) {
    Json::Value items(Json::arrayValue);
    items.append(FileWithContent("/..\\x", "escape"));
    items.append(FileWithContent("/a:b", "stream"));
    items.append(FileWithContent("/CON", "device"));
    items.append(FileWithContent("/dot.", "dot"));
    items.append(FileWithContent("/space ", "space"));
    items.append(FolderItem("/C:"));
    items.append(FolderItem("/sub"));
    items.append(FileWithContent("/sub/..\\..\\y", "escape twice"));
    items.append(FileWithContent("/ok.txt", "fine"));
    Seed(items);
    const auto outsideBefore = FilesUnder(m_folder.Path());
    (void)m_engine.FullSyncWalk();  // what it did is checked, not its last action's result

    auto outside = FilesUnder(m_folder.Path());
    for (auto it = outside.begin(); it != outside.end();) {
        const bool ours = it->first.rfind("Sync/", 0) == 0 || it->first.rfind("storage.db", 0) == 0 ||
                          it->first == "BrelioDrive.log";
        it = ours ? outside.erase(it) : std::next(it);
    }
    EXPECT_EQ(outside.size(), 0u) << "nothing beside the sync folder";
    EXPECT_FALSE(FileExists(m_folder.Path() + L"\\x"));
    const auto inside = FilesUnder(m_root);
    EXPECT_EQ(inside.size(), 1u);
    EXPECT_EQ(inside.count("ok.txt"), 1u);
    EXPECT_FALSE(FileExists(Local(L"a")));
    const auto posted = Items();
    for (const wchar_t* name : {L"..\\x", L"a:b", L"CON", L"dot.", L"space ", L"C:", L"..\\..\\y"})
        EXPECT_EQ(CountItems(posted, SYNC_ITEM_FAILED, name), 1u) << brelio::WideToUtf8(name);
    EXPECT_FALSE(HasRow(L"..\\x"));
}

TEST_F(FullSyncScenario, EmptyOrMissingSyncFolderOverSyncedRowsTrashesNothing) {
    SeedTree();
    ASSERT_EQ(m_engine.FullSyncWalk(), S_OK);
    RemoveTree(m_root);
    ASSERT_TRUE(::CreateDirectoryW(m_root.c_str(), nullptr));
    Items();
    ClearLog();
    EXPECT_EQ(m_engine.FullSyncWalk(), HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(CountWrites(Requests()), 0u);
    EXPECT_FALSE(ItemAt("/docs/plan.txt")["trashed"].asBool());
    const auto posted = Items();
    EXPECT_EQ(CountItems(posted, SYNC_ITEM_STATUS, L""), 1u);
    EXPECT_EQ(CountItems(posted, SYNC_ITEM_FAILED, L"\\Sync"), 1u);
    EXPECT_NE(LogText().find("nothing was deleted"), std::string::npos);

    RemoveTree(m_root);
    ClearLog();
    EXPECT_EQ(m_engine.FullSyncWalk(), HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(CountWrites(Requests()), 0u);
    EXPECT_FALSE(::PathIsDirectoryW(m_root.c_str())) << "an unplugged folder is not made again";
    EXPECT_EQ(Row(L"docs\\plan.txt").status, FILE_STATUS_SYNCED) << "the rows stay for when it comes back";
}

TEST_F(FullSyncScenario, FolderWhoseCreationFailsGetsNothingUploadedToTheRoot) {
    MakeLocalFolder(L"new");
    WriteLocal(L"new\\f.txt", "inside");
    Json::Value fault;
    fault["path"] = "create-folder";
    fault["status"] = 500;
    fault["times"] = -1;
    AddFault(fault);
    (void)m_engine.FullSyncWalk();  // what it did is checked, not its last action's result
    EXPECT_EQ(CountRequests("POST", "/files"), CountRequests("POST", "create-folder")) << "no upload at all";
    EXPECT_FALSE(RemoteHasName("f.txt"));
    EXPECT_FALSE(HasRow(L"new\\f.txt"));

    // The same file reached as a local change: its parent has no row.
    ClearLog();
    Items();
    EXPECT_EQ(m_engine.UploadChangedFile(0, Local(L"new\\f.txt").c_str()), HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(Requests().size(), 0u);
    EXPECT_EQ(CountItems(Items(), SYNC_ITEM_FAILED, L"new\\f.txt"), 1u);
    uint64_t folderId = 0;
    WriteLocal(L"new\\inner.txt", "x");
    MakeLocalFolder(L"new\\deeper");
    EXPECT_EQ(m_engine.CreateRemoteFolderForPath(Local(L"new\\deeper").c_str(), folderId),
              HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(Requests().size(), 0u);
}

TEST_F(FullSyncScenario, NamesThatDifferOnlyInCaseNeverOverwriteEachOther) {
    Json::Value items(Json::arrayValue);
    items.append(FileWithContent("/Report.txt", "upper"));
    items.append(FileWithContent("/other.txt", "lower"));
    const Json::Value seeded = Seed(items);
    // The service lists the second file under a name that differs from the
    // first only in letter case.
    Json::Value second = seeded[1];
    second["name"] = "report.TXT";
    second["path"] = "/report.TXT";
    Json::Value body;
    body["header"]["isSuccessful"] = true;
    body["header"]["resultCode"] = 0;
    body["result"]["contents"].append(seeded[0]);
    body["result"]["contents"].append(second);
    Json::Value fault;
    fault["method"] = "GET";
    fault["path"] = "^/files\\?parentId=root";
    fault["status"] = 200;
    fault["body"] = Json::writeString(Json::StreamWriterBuilder(), body);
    fault["times"] = -1;
    AddFault(fault);
    (void)m_engine.FullSyncWalk();  // what it did is checked, not its last action's result
    const auto files = FilesUnder(m_root);
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files.begin()->second, Sha256Hex("upper"));
    EXPECT_EQ(Row(L"Report.txt").file_id, IdOf(seeded[0]));
    EXPECT_EQ(CountItems(Items(), SYNC_ITEM_FAILED, L"report.TXT"), 1u);

    // A local file against a remote folder of the same name but for case.
    ClearFaults();
    Seed({FolderItem("/data"), FileWithContent("/data/in.txt", "remote")});
    WriteLocal(L"DATA", "local file");
    (void)m_engine.FullSyncWalk();  // what it did is checked, not its last action's result
    EXPECT_EQ(ReadFileBytes(Local(L"DATA")), "local file");
    EXPECT_FALSE(ItemAt("/data/in.txt")["trashed"].asBool());
}

}  // namespace
