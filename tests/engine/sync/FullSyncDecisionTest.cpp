#include <gtest/gtest.h>

#include <windows.h>
#include <shlwapi.h>

#include <functional>
#include <string>

#include "BrelioCore/TextConvert.h"
#include "BrelioCore/UniqueHandle.h"
#include "BrelioSync/ChangeCodes.h"
#include "BrelioSync/FileTimes.h"
#include "BrelioSync/SyncItem.h"
#include "DriveTree.h"
#include "EngineTest.h"
#include "Sha256.h"

using namespace brelio::test;

namespace {

class Decision : public EngineTest {
public:
    using StandinTest::ItemAt;
    using StandinTest::Remote;
    using StandinTest::Seed;
    using StandinTest::FolderItem;
    Json::Value SeedFile(const std::string& path, const std::string& content) {
        return Seed({FileWithContent(path, content)})[0];
    }
    void Trash(const std::string& path) {
        Json::Value change;
        change["op"] = "trash";
        change["path"] = path;
        Remote(change);
    }
    void Upload(const std::string& path, const std::string& content) {
        Json::Value change;
        change["op"] = "upload";
        change["path"] = path;
        change["content"] = Base64(content);
        Remote(change);
    }
    bool RemoteLive(const std::string& name) { return HasItemNamed(RemoteTree(m_account.session), name); }
    void PendingRename(const wchar_t* name, const wchar_t* oldName, uint64_t id, bool isFolder) {
        ChangeRecord change;
        change.name = name;
        change.old_name = oldName;
        change.action = CHANGE_ACTION_RENAMED;
        change.file_id = id;
        change.is_folder = isFolder;
        AddChangeRow(change);
    }
    WIN32_FIND_DATAW FindData(const std::wstring& relative) {
        WIN32_FIND_DATAW data = {};
        EXPECT_TRUE(brelio::UniqueFindHandle(::FindFirstFileW(Local(relative).c_str(), &data)));
        return data;
    }
};

// CompareWithRemote: one local file, one remote entry, the row varied.
struct CompareCase {
    const char* name;
    std::function<void(FileRecord&)> change;  // null: no row
    uint32_t code;
    bool storedRevision;
    bool storedOtherId;
};

void PrintTo(const CompareCase& c, std::ostream* os) { *os << c.name; }

class CompareTable : public Decision, public ::testing::WithParamInterface<CompareCase> {};

TEST_P(CompareTable, Code) {
    const CompareCase& c = GetParam();
    const Json::Value remote = SeedFile("/f.txt", "base");
    WriteLocal(L"f.txt", "base");
    FileRecord row = SyncedRow(remote, L"f.txt");
    if (c.change) {
        c.change(row);
        SeedRows({row});
    }
    FileInfo entry;
    entry.id = IdOf(remote);
    entry.hash = remote["hash"].asString();
    entry.revision = std::stoull(remote["revision"].asString());
    entry.type = "file";
    uint64_t storedRevision = 0;
    uint64_t storedId = entry.id;
    EXPECT_EQ(m_engine.CompareWithRemote(Local(L"f.txt").c_str(), FindData(L"f.txt"), entry, storedRevision, storedId),
              c.code);
    EXPECT_EQ(storedRevision, c.storedRevision ? row.revision : 0u);
    EXPECT_EQ(storedId, c.storedOtherId ? row.file_id : entry.id);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CompareTable,
    ::testing::Values(
        CompareCase{"NoRow", nullptr, CHANGE_NO_STORAGE_ROW, false, false},
        CompareCase{"Same", [](FileRecord&) {}, CHANGE_NONE, false, false},
        CompareCase{"ChangedLocallyByStatus", [](FileRecord& r) { r.status = FILE_STATUS_CHANGED; },
                    CHANGE_MODIFIED_LOCAL, true, false},
        CompareCase{"OtherTime", [](FileRecord& r) { r.last_write_time -= 10000000; }, CHANGE_MODIFIED_LOCAL, true,
                    false},
        CompareCase{"OtherSize", [](FileRecord& r) { r.size += 1; }, CHANGE_MODIFIED_LOCAL, true, false},
        CompareCase{"OtherHash", [](FileRecord& r) { r.hash = "00"; }, CHANGE_MODIFIED_REMOTE, false, false},
        CompareCase{"HashInOtherCase",
                    [](FileRecord& r) {
                        for (char& ch : r.hash) ch = static_cast<char>(toupper(ch));
                    },
                    CHANGE_NONE, false, false},
        CompareCase{"OtherRevision", [](FileRecord& r) { r.revision += 5; }, CHANGE_MODIFIED_REMOTE, false, false},
        CompareCase{"BothSides",
                    [](FileRecord& r) {
                        r.size += 1;
                        r.revision += 5;
                    },
                    CHANGE_MODIFIED_BOTH, true, false},
        CompareCase{"ToTransferAgain", [](FileRecord& r) { r.status = FILE_STATUS_RETRANSFER; }, CHANGE_MODIFIED_BOTH,
                    false, false},
        CompareCase{"OtherFileId", [](FileRecord& r) { r.file_id += 1000; }, CHANGE_MODIFIED_BOTH, false, true}),
    [](const auto& info) { return std::string(info.param.name); });

// The walk: what happens to one item after FullSyncFolder of the root.
struct WalkCase {
    const char* name;
    std::function<void(Decision&)> arrange;
    std::function<void(Decision&)> check;
};

void PrintTo(const WalkCase& c, std::ostream* os) { *os << c.name; }

class WalkTable : public Decision, public ::testing::WithParamInterface<WalkCase> {};

TEST_P(WalkTable, Outcome) {
    GetParam().arrange(*this);
    Items();
    ClearLog();
    // What the walk did is what counts; its result is only that of its last action.
    (void)m_engine.FullSyncFolder(m_root.c_str(), 0);
    GetParam().check(*this);
    if (HasFailure()) {
        std::string requests;
        for (const std::string& line : RequestLines()) requests += line + "\n";
        ADD_FAILURE() << "log:\n" << LogText() << "requests:\n" << requests;
    }
}

std::string NameOf(const ::testing::TestParamInfo<WalkCase>& info) { return info.param.name; }

// A local file whose remote entry is missing from its folder, by its row.
INSTANTIATE_TEST_SUITE_P(
    LocalOnlyFiles, WalkTable,
    ::testing::Values(
        WalkCase{"NoRowUploads", [](Decision& t) { t.WriteLocal(L"x.txt", "new"); },
                 [](Decision& t) {
                     EXPECT_TRUE(t.RemoteLive("x.txt"));
                     EXPECT_EQ(t.Row(L"x.txt").status, FILE_STATUS_SYNCED);
                 }},
        WalkCase{"ChangedUploads",
                 [](Decision& t) {
                     t.WriteLocal(L"x.txt", "new");
                     t.SeedRows({FileRow(55, L"x.txt", FILE_STATUS_CHANGED, 1, "")});
                 },
                 [](Decision& t) {
                     EXPECT_TRUE(t.RemoteLive("x.txt"));
                     EXPECT_EQ(t.Row(L"x.txt").file_id, IdOf(t.ItemAt("/x.txt")));
                 }},
        WalkCase{"TransferAgainUploadsAsNewByName",
                 [](Decision& t) {
                     t.WriteLocal(L"x.txt", "new");
                     t.SeedRows({FileRow(55, L"x.txt", FILE_STATUS_RETRANSFER, 1, "")});
                 },
                 [](Decision& t) {
                     EXPECT_TRUE(t.RemoteLive("x.txt"));
                     EXPECT_EQ(t.Row(L"x.txt").file_id, IdOf(t.ItemAt("/x.txt")));
                     EXPECT_EQ(t.Row(L"x.txt").status, FILE_STATUS_SYNCED);
                 }},
        WalkCase{"FailedLocallyDoesNothing",
                 [](Decision& t) {
                     t.WriteLocal(L"x.txt", "new");
                     t.SeedRows({FileRow(55, L"x.txt", FILE_STATUS_LOCAL_FAILED, 1, "")});
                 },
                 [](Decision& t) {
                     EXPECT_FALSE(t.RemoteLive("x.txt"));
                     EXPECT_TRUE(FileExists(t.Local(L"x.txt")));
                     EXPECT_EQ(t.Row(L"x.txt").status, FILE_STATUS_LOCAL_FAILED);
                 }},
        WalkCase{"InSyncAndTrashedRemotelyIsRecycled",
                 [](Decision& t) {
                     const Json::Value item = t.SeedFile("/x.txt", "old");
                     t.WriteLocal(L"x.txt", "old");
                     t.RecordSynced(item, L"x.txt");
                     t.Trash("/x.txt");
                 },
                 [](Decision& t) {
                     EXPECT_FALSE(FileExists(t.Local(L"x.txt")));
                     EXPECT_FALSE(t.HasRow(L"x.txt"));
                     EXPECT_TRUE(t.LogText().find("x.txt - deleted.") != std::string::npos);
                 }},
        WalkCase{"InSyncTrashedRemotelyButEditedHereIsUploaded",
                 [](Decision& t) {
                     const Json::Value item = t.SeedFile("/x.txt", "old");
                     t.WriteLocal(L"x.txt", "old");
                     t.RecordSynced(item, L"x.txt");
                     t.Trash("/x.txt");
                     t.WriteLocal(L"x.txt", "edited after the last sync");
                 },
                 [](Decision& t) {
                     EXPECT_EQ(ReadFileBytes(t.Local(L"x.txt")), "edited after the last sync");
                     EXPECT_EQ(t.ItemAt("/x.txt")["sha256"].asString(), Sha256Hex("edited after the last sync"));
                     EXPECT_EQ(t.Row(L"x.txt").file_id, IdOf(t.ItemAt("/x.txt")));
                 }},
        WalkCase{"InSyncButMovedRemotelyIsKept",
                 [](Decision& t) {
                     t.Seed({Decision::FolderItem("/elsewhere")});
                     const Json::Value item = t.SeedFile("/x.txt", "old");
                     t.WriteLocal(L"x.txt", "old");
                     t.RecordSynced(item, L"x.txt");
                     Json::Value move;
                     move["op"] = "move";
                     move["path"] = "/x.txt";
                     move["newParentPath"] = "/elsewhere";
                     t.Remote(move);
                     t.MakeLocalFolder(L"elsewhere");
                     t.SeedRows({FolderRow(IdOf(t.ItemAt("/elsewhere")), L"elsewhere", FILE_STATUS_SYNCED)});
                 },
                 [](Decision& t) {
                     // The walk of the new folder moves it there.
                     EXPECT_FALSE(FileExists(t.Local(L"x.txt")));
                     EXPECT_EQ(ReadFileBytes(t.Local(L"elsewhere\\x.txt")), "old");
                     EXPECT_EQ(t.Row(L"elsewhere\\x.txt").status, FILE_STATUS_SYNCED);
                     EXPECT_EQ(t.CountRequests("POST", "/trash"), 0u);
                 }},
        WalkCase{"InSyncWithRenamePendingIsKept",
                 [](Decision& t) {
                     const Json::Value item = t.SeedFile("/y.txt", "old");
                     t.WriteLocal(L"x.txt", "old");
                     t.SeedRows({t.SyncedRow(item, L"x.txt")});
                     t.Trash("/y.txt");
                     t.PendingRename(L"x.txt", L"y.txt", IdOf(item), false);
                 },
                 [](Decision& t) {
                     EXPECT_TRUE(FileExists(t.Local(L"x.txt")));
                     EXPECT_TRUE(t.HasRow(L"x.txt"));
                 }}),
    NameOf);

// A remote entry without a local item, by its row.
INSTANTIATE_TEST_SUITE_P(
    RemoteOnlyEntries, WalkTable,
    ::testing::Values(
        WalkCase{"NoRowDownloads", [](Decision& t) { t.SeedFile("/r.txt", "remote"); },
                 [](Decision& t) {
                     EXPECT_EQ(ReadFileBytes(t.Local(L"r.txt")), "remote");
                     EXPECT_EQ(t.Row(L"r.txt").status, FILE_STATUS_SYNCED);
                 }},
        WalkCase{"TransferAgainDownloads",
                 [](Decision& t) {
                     const Json::Value item = t.SeedFile("/r.txt", "remote");
                     FileRecord row = t.SyncedRow(item, L"r.txt");
                     row.status = FILE_STATUS_RETRANSFER;
                     t.SeedRows({row});
                 },
                 [](Decision& t) { EXPECT_EQ(ReadFileBytes(t.Local(L"r.txt")), "remote"); }},
        WalkCase{"FailedLocallyIsReported",
                 [](Decision& t) {
                     const Json::Value item = t.SeedFile("/r.txt", "remote");
                     FileRecord row = t.SyncedRow(item, L"r.txt");
                     row.status = FILE_STATUS_LOCAL_FAILED;
                     t.SeedRows({row});
                 },
                 [](Decision& t) {
                     EXPECT_FALSE(FileExists(t.Local(L"r.txt")));
                     EXPECT_EQ(CountItems(t.Items(), SYNC_ITEM_FAILED, L"r.txt"), 1u);
                 }},
        WalkCase{"InSyncAndDeletedHereIsTrashed",
                 [](Decision& t) {
                     const Json::Value item = t.SeedFile("/r.txt", "remote");
                     t.WriteLocal(L"keep.txt", "so the folder is not empty");
                     t.SeedRows({FileRow(IdOf(item), L"r.txt", FILE_STATUS_SYNCED, std::stoull(item["revision"].asString()),
                                         item["hash"].asString())});
                 },
                 [](Decision& t) {
                     EXPECT_FALSE(t.RemoteLive("r.txt"));
                     EXPECT_FALSE(t.HasRow(L"r.txt"));
                     EXPECT_TRUE(t.LogText().find("r.txt(remote) - deleted.") != std::string::npos);
                 }},
        WalkCase{"InSyncDeletedHereButChangedRemotelyIsDownloaded",
                 [](Decision& t) {
                     const Json::Value item = t.SeedFile("/r.txt", "remote");
                     t.SeedRows({FileRow(IdOf(item), L"r.txt", FILE_STATUS_SYNCED, std::stoull(item["revision"].asString()),
                                         item["hash"].asString())});
                     t.Upload("/r.txt", "changed remotely");
                 },
                 [](Decision& t) {
                     EXPECT_TRUE(t.RemoteLive("r.txt"));
                     EXPECT_EQ(ReadFileBytes(t.Local(L"r.txt")), "changed remotely");
                 }},
        WalkCase{"InSyncMovedRemotelyIsMovedHere",
                 [](Decision& t) {
                     t.MakeLocalFolder(L"old");
                     t.WriteLocal(L"old\\r.txt", "remote");
                     const Json::Value item = t.SeedFile("/r.txt", "remote");
                     t.SeedRows({t.SyncedRow(item, L"old\\r.txt"), FolderRow(999, L"old", FILE_STATUS_SYNCED)});
                 },
                 [](Decision& t) {
                     EXPECT_EQ(ReadFileBytes(t.Local(L"r.txt")), "remote");
                     EXPECT_FALSE(FileExists(t.Local(L"old\\r.txt")));
                     EXPECT_TRUE(t.RemoteLive("r.txt"));
                     EXPECT_EQ(t.Row(L"r.txt").status, FILE_STATUS_SYNCED);
                 }},
        WalkCase{"InSyncWithRenamePendingIsKept",
                 [](Decision& t) {
                     const Json::Value item = t.SeedFile("/r.txt", "remote");
                     t.WriteLocal(L"keep.txt", "x");
                     t.SeedRows({FileRow(IdOf(item), L"r.txt", FILE_STATUS_SYNCED, std::stoull(item["revision"].asString()),
                                         item["hash"].asString())});
                     t.PendingRename(L"q.txt", L"r.txt", IdOf(item), false);
                 },
                 [](Decision& t) {
                     EXPECT_TRUE(t.RemoteLive("r.txt"));
                     EXPECT_EQ(t.CountRequests("POST", "/trash"), 0u);
                 }}),
    NameOf);

// Folders on one side only.
INSTANTIATE_TEST_SUITE_P(
    Folders, WalkTable,
    ::testing::Values(
        WalkCase{"LocalNewFolderGoesUpWithItsContent",
                 [](Decision& t) {
                     t.MakeLocalFolder(L"n");
                     t.WriteLocal(L"n\\in.txt", "inside");
                 },
                 [](Decision& t) {
                     EXPECT_TRUE(t.RemoteLive("n"));
                     EXPECT_EQ(t.ItemAt("/n/in.txt")["sha256"].asString(), Sha256Hex("inside"));
                 }},
        WalkCase{"LocalFolderTrashedRemotelyIsRecycled",
                 [](Decision& t) {
                     const Json::Value folder = t.Seed({Decision::FolderItem("/g")})[0];
                     const Json::Value file = t.SeedFile("/g/in.txt", "in");
                     t.MakeLocalFolder(L"g");
                     t.WriteLocal(L"g\\in.txt", "in");
                     t.RecordSynced(folder, L"g");
                     t.RecordSynced(file, L"g\\in.txt");
                     t.Trash("/g");
                 },
                 [](Decision& t) {
                     EXPECT_FALSE(::PathIsDirectoryW(t.Local(L"g").c_str()));
                     EXPECT_FALSE(t.HasRow(L"g\\in.txt"));
                 }},
        WalkCase{"LocalFolderTrashedRemotelyWithNewContentGoesUpHoldingOnlyThat",
                 [](Decision& t) {
                     const Json::Value folder = t.Seed({Decision::FolderItem("/g")})[0];
                     const Json::Value file = t.SeedFile("/g/in.txt", "in");
                     t.MakeLocalFolder(L"g");
                     t.WriteLocal(L"g\\in.txt", "in");
                     t.RecordSynced(folder, L"g");
                     t.RecordSynced(file, L"g\\in.txt");
                     t.Trash("/g");
                     t.WriteLocal(L"g\\added.txt", "new here");
                 },
                 [](Decision& t) {
                     EXPECT_EQ(t.ItemAt("/g/added.txt")["sha256"].asString(), Sha256Hex("new here"));
                     EXPECT_EQ(ReadFileBytes(t.Local(L"g\\added.txt")), "new here");
                     // Unchanged here, trashed there: it follows the deletion.
                     EXPECT_FALSE(FileExists(t.Local(L"g\\in.txt")));
                     EXPECT_FALSE(t.RemoteLive("in.txt"));
                 }},
        WalkCase{"LocalFolderWithRenamePendingIsLeftAlone",
                 [](Decision& t) {
                     const Json::Value folder = t.Seed({Decision::FolderItem("/before")})[0];
                     t.SeedFile("/before/in.txt", "in");
                     t.MakeLocalFolder(L"after");
                     t.WriteLocal(L"after\\in.txt", "in");
                     FileRecord row = t.SyncedRow(folder, L"after");
                     row.status = FILE_STATUS_CHANGED;
                     t.SeedRows({row, FileRow(IdOf(t.ItemAt("/before/in.txt")), L"after\\in.txt", FILE_STATUS_SYNCED,
                                              1, "")});
                     t.PendingRename(L"after", L"before", IdOf(folder), true);
                 },
                 [](Decision& t) {
                     EXPECT_TRUE(FileExists(t.Local(L"after\\in.txt"))) << "its children are not recycled";
                     EXPECT_FALSE(t.RemoteLive("after"));
                     EXPECT_FALSE(::PathIsDirectoryW(t.Local(L"before").c_str())) << "nor fetched again";
                 }},
        WalkCase{"RemoteFolderDeletedHereIsTrashed",
                 [](Decision& t) {
                     const Json::Value folder = t.Seed({Decision::FolderItem("/h")})[0];
                     const Json::Value file = t.SeedFile("/h/in.txt", "in");
                     t.WriteLocal(L"keep.txt", "x");
                     t.SeedRows({FolderRow(IdOf(folder), L"h", FILE_STATUS_SYNCED),
                                 FileRow(IdOf(file), L"h\\in.txt", FILE_STATUS_SYNCED,
                                         std::stoull(file["revision"].asString()), file["hash"].asString())});
                 },
                 [](Decision& t) { EXPECT_FALSE(t.RemoteLive("h")); }},
        WalkCase{"RemoteFolderDeletedHereButChangedThereComesBackHoldingWhatChanged",
                 [](Decision& t) {
                     const Json::Value folder = t.Seed({Decision::FolderItem("/h")})[0];
                     const Json::Value file = t.SeedFile("/h/in.txt", "in");
                     t.WriteLocal(L"keep.txt", "x");
                     t.SeedRows({FolderRow(IdOf(folder), L"h", FILE_STATUS_SYNCED),
                                 FileRow(IdOf(file), L"h\\in.txt", FILE_STATUS_SYNCED,
                                         std::stoull(file["revision"].asString()), file["hash"].asString())});
                     t.Upload("/h/new.txt", "added remotely");
                 },
                 [](Decision& t) {
                     EXPECT_TRUE(t.RemoteLive("h"));
                     EXPECT_EQ(ReadFileBytes(t.Local(L"h\\new.txt")), "added remotely");
                     // Unchanged there, deleted here: it follows the deletion.
                     EXPECT_FALSE(FileExists(t.Local(L"h\\in.txt")));
                     EXPECT_FALSE(t.RemoteLive("in.txt"));
                 }}),
    NameOf);

// An item on both sides, by how it differs.
INSTANTIATE_TEST_SUITE_P(
    BothSides, WalkTable,
    ::testing::Values(
        WalkCase{"EditedHereIsUploaded",
                 [](Decision& t) {
                     const Json::Value item = t.SeedFile("/b.txt", "one");
                     t.WriteLocal(L"b.txt", "one");
                     t.RecordSynced(item, L"b.txt");
                     t.WriteLocal(L"b.txt", "two, longer");
                 },
                 [](Decision& t) {
                     EXPECT_EQ(t.ItemAt("/b.txt")["sha256"].asString(), Sha256Hex("two, longer"));
                     EXPECT_EQ(t.CountRequests("POST", "/update"), 1u);
                 }},
        WalkCase{"EditedThereIsDownloaded",
                 [](Decision& t) {
                     const Json::Value item = t.SeedFile("/b.txt", "one");
                     t.WriteLocal(L"b.txt", "one");
                     t.RecordSynced(item, L"b.txt");
                     t.Upload("/b.txt", "remote two");
                 },
                 [](Decision& t) { EXPECT_EQ(ReadFileBytes(t.Local(L"b.txt")), "remote two"); }},
        WalkCase{"NoRowKeepsBoth",
                 [](Decision& t) {
                     t.SeedFile("/b.txt", "remote");
                     t.WriteLocal(L"b.txt", "local");
                 },
                 [](Decision& t) {
                     EXPECT_EQ(ReadFileBytes(t.Local(L"b.txt")), "remote");
                     EXPECT_EQ(CountMatching(t.m_root, L"b(conflicted and copied from *).txt"), 1u);
                     EXPECT_EQ(t.CountRequests("POST", "/files"), 1u) << "the copy goes up as a new file";
                 }},
        WalkCase{"ConflictCopyFailureStopsThere",
                 [](Decision& t) {
                     t.SeedFile("/b", "remote");
                     t.WriteLocal(L"b", "local");
                     // Fill every name a copy could take this minute.
                     wchar_t computer[16] = L"";
                     DWORD length = 16;
                     ::GetComputerNameW(computer, &length);
                     SYSTEMTIME now;
                     ::GetLocalTime(&now);
                     for (int second = 0; second < 60; ++second) {
                         wchar_t name[200];
                         swprintf(name, 200, L"b(conflicted and copied from %ls %04u-%02u-%02u %02u%02u%02d)", computer,
                                  now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, second);
                         t.WriteLocal(name, "taken");
                     }
                 },
                 [](Decision& t) {
                     if (CountMatching(t.m_root, L"b(conflicted*") != 60) GTEST_SKIP() << "the minute turned";
                     EXPECT_EQ(ReadFileBytes(t.Local(L"b")), "local");
                     EXPECT_EQ(t.CountRequests("GET", "/files/"), 0u) << "no download";
                 }}),
    NameOf);

}  // namespace
