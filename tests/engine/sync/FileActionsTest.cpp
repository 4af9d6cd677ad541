#include <gtest/gtest.h>

#include <windows.h>
#include <shlwapi.h>

#include <atomic>
#include <functional>
#include <string>

#include "BrelioCore/TextConvert.h"
#include "BrelioCore/UniqueHandle.h"
#include "BrelioSync/IgnoreScope.h"
#include "BrelioSync/SyncItem.h"
#include "EngineTest.h"
#include "PollingWatch.h"
#include "Sha256.h"

using namespace brelio::test;

namespace {

FileInfo InfoOf(const Json::Value& item) {
    FileInfo info;
    info.id = IdOf(item);
    info.name = brelio::Utf8ToWide(item["name"].asString());
    info.path = brelio::Utf8ToWide(item["path"].asString());
    info.hash = item["hash"].asString();
    info.revision = std::stoull(item["revision"].asString());
    info.type = item["type"].asString();
    info.version = item["version"].asInt();
    return info;
}

bool Contains(const std::string& text, const std::wstring& part) {
    return text.find(brelio::WideToAnsi(part)) != std::string::npos;
}

// Watches the ignore list on a thread of its own while an action runs.
class IgnoreWatcher {
public:
    IgnoreWatcher(CIgnoreList& list, std::wstring relative)
        : m_list(list), m_relative(std::move(relative)), m_watch([this] {
              if (m_list.IsIgnored(m_relative.c_str())) m_seen = true;
          }) {}
    bool Finish() {
        m_watch.Finish();
        return m_seen;
    }

private:
    CIgnoreList& m_list;
    std::wstring m_relative;
    std::atomic<bool> m_seen{false};
    CPollingWatch m_watch;
};

// Watches for files that match a pattern in the sync folder while an action
// runs, and whether each one found was masked at that moment.
class PatternWatcher {
public:
    PatternWatcher(EngineTest& test, std::wstring pattern)
        : m_test(test), m_pattern(std::move(pattern)), m_watch([this] { Look(); }) {}
    void Finish() { m_watch.Finish(); }
    int Masked() const { return m_masked; }
    int Unmasked() const { return m_unmasked; }

private:
    void Look() {
        WIN32_FIND_DATAW data;
        if (!brelio::UniqueFindHandle(::FindFirstFileW(m_test.Local(m_pattern).c_str(), &data))) return;
        if (m_test.m_manager.GetIgnoreList().IsIgnored(data.cFileName))
            ++m_masked;
        else
            ++m_unmasked;
    }

    EngineTest& m_test;
    std::wstring m_pattern;
    std::atomic<int> m_masked{0};
    std::atomic<int> m_unmasked{0};
    CPollingWatch m_watch;
};

class FileActions : public EngineTest {
protected:
    // A remote file, its local copy and a row in sync.
    Json::Value SyncedFile(const std::string& remotePath, const std::wstring& relative, const std::string& content) {
        const Json::Value item = Seed({FileWithContent(remotePath, content)})[0];
        WriteLocal(relative, content);
        RecordSynced(item, relative);
        return item;
    }
};

TEST_F(FileActions, UploadNewAndUpdateAndFailure) {
    WriteLocal(L"up.txt", "abc");
    ClearLog();
    ASSERT_EQ(m_engine.UploadFile(0, Local(L"up.txt").c_str(), 0, RowWrite::Insert), S_OK);
    EXPECT_EQ(CountRequests("POST", "/files"), 1u);
    const Json::Value remote = ItemAt("/up.txt");
    FileRecord row = Row(L"up.txt");
    EXPECT_EQ(row.file_id, IdOf(remote));
    EXPECT_EQ(row.status, FILE_STATUS_SYNCED);
    EXPECT_EQ(row.size, 3u);
    EXPECT_TRUE(Contains(LogText(), Local(L"up.txt") + L" - uploaded."));
    auto items = Items();
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].kind, SYNC_ITEM_IN_PROGRESS);
    EXPECT_EQ(items[1].kind, SYNC_ITEM_DONE);
    EXPECT_EQ(items[1].path, Local(L"up.txt"));

    WriteLocal(L"up.txt", "abcdef");
    ClearLog();
    ASSERT_EQ(m_engine.UploadFile(row.file_id, Local(L"up.txt").c_str(), row.revision, RowWrite::Update), S_OK);
    EXPECT_EQ(CountRequests("POST", "/update"), 1u);
    EXPECT_EQ(ItemAt("/up.txt")["sha256"].asString(), Sha256Hex("abcdef"));
    EXPECT_EQ(Row(L"up.txt").size, 6u);
    EXPECT_GT(Row(L"up.txt").revision, row.revision);
    Items();

    Json::Value fault;
    fault["method"] = "POST";
    fault["status"] = 500;
    AddFault(fault);
    WriteLocal(L"fails.txt", "x");
    EXPECT_LT(m_engine.UploadFile(0, Local(L"fails.txt").c_str(), 0, RowWrite::Insert), 0);
    EXPECT_FALSE(HasRow(L"fails.txt"));
    EXPECT_TRUE(Contains(LogText(), Local(L"fails.txt") + L" - failed to upload(0x"));
    EXPECT_EQ(CountItems(Items(), SYNC_ITEM_FAILED, L"fails.txt"), 1u);
}

TEST_F(FileActions, UploadChangedFileFollowsTheRow) {
    const Json::Value item = SyncedFile("/c.txt", L"c.txt", "one");
    WriteLocal(L"c.txt", "two!");
    ClearLog();
    EXPECT_EQ(m_engine.UploadChangedFile(IdOf(item), Local(L"c.txt").c_str()), S_OK);
    EXPECT_EQ(CountRequests("POST", "/update"), 1u);
    ClearLog();
    EXPECT_EQ(m_engine.UploadChangedFile(0, Local(L"c.txt").c_str()), S_OK) << "a row without an id: nothing";
    EXPECT_EQ(Requests().size(), 0u);
    WriteLocal(L"fresh.txt", "new");
    EXPECT_EQ(m_engine.UploadChangedFile(0, Local(L"fresh.txt").c_str()), S_OK);
    EXPECT_EQ(Row(L"fresh.txt").file_id, IdOf(ItemAt("/fresh.txt")));
}

TEST_F(FileActions, SessionErrorAsksTheFrameToSignOut) {
    Json::Value fault;
    fault["method"] = "POST";
    fault["envelope"]["resultCode"] = -15400201;
    fault["envelope"]["httpStatus"] = 200;
    AddFault(fault);
    WriteLocal(L"s.txt", "x");
    EXPECT_EQ(m_engine.UploadFile(0, Local(L"s.txt").c_str(), 0, RowWrite::Insert), static_cast<HRESULT>(0xA0000011));
    const auto frame = FrameMessages();
    ASSERT_EQ(frame.size(), 1u);
    EXPECT_EQ(frame[0].what, SYNCITEM_SIGN_OUT);
    EXPECT_EQ(static_cast<uint32_t>(frame[0].code), 0xA0000011u);
    const auto items = Items();
    ASSERT_EQ(items.size(), 1u) << "only the in-progress line";
    EXPECT_EQ(items[0].kind, SYNC_ITEM_IN_PROGRESS);
}

TEST_F(FileActions, DownloadWritesTheRowAndIsMaskedWhileItWrites) {
    const Json::Value item = Seed({FileWithContent("/d.txt", "remote bytes")})[0];
    Json::Value slow;
    slow["method"] = "GET";
    slow["path"] = "media=raw";
    slow["delayMs"] = 300;
    AddFault(slow);
    ClearLog();
    IgnoreWatcher watcher(m_manager.GetIgnoreList(), L"d.txt");
    // The temporary file beside it, whichever name it gets.
    PatternWatcher temporary(*this, L"$$$*.tmp");
    ASSERT_EQ(m_engine.Download(InfoOf(item), Local(L"d.txt").c_str(), RowWrite::Insert), S_OK);
    EXPECT_TRUE(watcher.Finish()) << "ignored while it was written";
    temporary.Finish();
    // The temporary file is gone before the mask is lifted: never seen bare.
    EXPECT_GT(temporary.Masked(), 0) << "the transfer went through a temporary file";
    EXPECT_EQ(temporary.Unmasked(), 0) << "which was masked too";
    ::Sleep(CIgnoreScope::kReleaseDelay + 100);
    EXPECT_FALSE(m_manager.GetIgnoreList().IsIgnored(L"$$$x.tmp"));
    EXPECT_FALSE(m_manager.GetIgnoreList().IsIgnored(L"d.txt")) << "released after it";
    EXPECT_EQ(ReadFileBytes(Local(L"d.txt")), "remote bytes");
    EXPECT_EQ(Row(L"d.txt").file_id, IdOf(item));
    EXPECT_EQ(Row(L"d.txt").size, 12u);
    EXPECT_TRUE(Contains(LogText(), Local(L"d.txt") + L" - downloaded."));
    const auto items = Items();
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].kind, SYNC_ITEM_IN_PROGRESS);
    EXPECT_EQ(items[1].kind, SYNC_ITEM_DONE);

    EXPECT_LT(m_engine.DownloadById(987654321, Local(L"gone.txt").c_str(), true), 0);
    EXPECT_FALSE(FileExists(Local(L"gone.txt")));
    EXPECT_TRUE(Contains(LogText(), Local(L"gone.txt") + L" - failed to download(0x"));
    EXPECT_EQ(CountItems(Items(), SYNC_ITEM_FAILED, L"gone.txt"), 1u);
}

// Every action that writes in the sync folder holds the path in the
// ignore list while it writes and lets go of it afterwards.
TEST_F(FileActions, EveryLocalWriteIsMaskedAndReleased) {
    const Json::Value folder = Seed({FolderItem("/f")})[0];
    const Json::Value moved = SyncedFile("/m.txt", L"m.txt", "move me");
    SyncedFile("/del.txt", L"del.txt", "delete me");
    MakeLocalFolder(L"dir");
    MakeLocalFolder(L"old");
    SeedRows({FolderRow(777, L"old", FILE_STATUS_SYNCED)});
    WriteLocal(L"plan.docx", "plan");
    struct Case {
        const wchar_t* watched;
        std::function<HRESULT()> action;
    };
    std::wstring copy;
    // Released once the monitor has had the time to read the write's events;
    // a loaded machine may take a while longer, so look until a generous bound
    // rather than once after a fixed pause.
    const auto ReleasedSoon = [&](const std::wstring& path) {
        for (DWORD waited = 0; waited < 20 * CIgnoreScope::kReleaseDelay; waited += 20) {
            if (!m_manager.GetIgnoreList().IsIgnored(path.c_str())) return true;
            ::Sleep(20);
        }
        return false;
    };
    const Case cases[] = {
        {L"f", [&] { return m_engine.CreateLocalFolder(InfoOf(folder), Local(L"f").c_str()); }},
        {L"del.txt", [&] { return m_engine.DeleteLocalFile(Local(L"del.txt").c_str()); }},
        {L"old", [&] { return m_engine.DeleteLocalFolder(Local(L"old").c_str()); }},
        {L"dir\\m2.txt", [&] { return m_engine.MoveLocal(IdOf(moved), L"dir\\m2.txt", "h", 9); }},
        {L"m.txt", [&] { return m_engine.MoveLocal(IdOf(moved), L"m.txt", "h", 9); }},
        {L"plan(conflicted", [&] {
             const HRESULT hr = m_engine.MakeConflictCopy(Local(L"plan.docx").c_str(), copy);
             return hr;
         }},
    };
    for (const Case& c : cases) {
        std::wstring watched = c.watched;
        if (watched == L"plan(conflicted") {
            // The copy's name carries the time: watch for any such file.
            PatternWatcher copies(*this, L"plan(conflicted*");
            ASSERT_EQ(c.action(), S_OK);
            // The watch looks for as long as the mask lasts, which is the
            // write and the release delay after it: a thread of a loaded
            // machine may not look during the write alone.
            EXPECT_TRUE(ReleasedSoon(copy.substr(m_root.size() + 1)));
            copies.Finish();
            // The copy stays after the mask is lifted: seen masked while written.
            EXPECT_GT(copies.Masked(), 0);
            continue;
        }
        IgnoreWatcher watcher(m_manager.GetIgnoreList(), watched);
        EXPECT_EQ(c.action(), S_OK) << brelio::WideToUtf8(watched);
        EXPECT_TRUE(ReleasedSoon(watched)) << brelio::WideToUtf8(watched);
        EXPECT_TRUE(watcher.Finish()) << brelio::WideToUtf8(watched);
    }
    EXPECT_TRUE(::PathIsDirectoryW(Local(L"f").c_str()));
    EXPECT_FALSE(FileExists(Local(L"del.txt")));
    EXPECT_FALSE(HasRow(L"del.txt"));
    EXPECT_FALSE(::PathIsDirectoryW(Local(L"old").c_str()));
    EXPECT_FALSE(HasRow(L"old"));
    EXPECT_EQ(ReadFileBytes(Local(L"m.txt")), "move me");
    EXPECT_EQ(Row(L"m.txt").revision, 9u);
    EXPECT_EQ(ReadFileBytes(copy), "plan");
    const auto log = LogText();
    EXPECT_TRUE(Contains(log, Local(L"f") + L" - downloaded."));
    EXPECT_TRUE(Contains(log, Local(L"del.txt") + L" - deleted."));
    EXPECT_TRUE(Contains(log, Local(L"old") + L" - deleted."));
}

TEST_F(FileActions, DeleteLocalByIdFollowsTheRow) {
    const Json::Value item = SyncedFile("/sub.txt", L"byid.txt", "x");
    Items();
    EXPECT_EQ(m_engine.DeleteLocalById(IdOf(item)), S_OK);
    EXPECT_FALSE(FileExists(Local(L"byid.txt")));
    EXPECT_FALSE(HasRow(L"byid.txt"));
    EXPECT_TRUE(Contains(LogText(), Local(L"byid.txt") + L" - deleted."));
    const auto items = Items();
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].kind, SYNC_ITEM_DONE);
    EXPECT_FALSE(items[0].isFolder);
    EXPECT_EQ(m_engine.DeleteLocalById(IdOf(item)), S_FALSE) << "no row: nothing to do";
    EXPECT_TRUE(Items().empty());
}

TEST_F(FileActions, LocalFolderCreationFailureLine) {
    const Json::Value folder = Seed({FolderItem("/taken")})[0];
    WriteLocal(L"taken", "a file in the way");
    EXPECT_LT(m_engine.CreateLocalFolderAndWalk(InfoOf(folder), Local(L"taken").c_str()), 0);
    EXPECT_TRUE(Contains(LogText(), Local(L"taken") + L" - failed to downloaded(0x"));
    const auto items = Items();
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].kind, SYNC_ITEM_FAILED);
    EXPECT_TRUE(items[0].isFolder);
    EXPECT_FALSE(HasRow(L"taken"));
}

TEST_F(FileActions, MoveLocalRefusesTargetsOutsideTheFolder) {
    const Json::Value item = SyncedFile("/keep.txt", L"keep.txt", "stay");
    for (const wchar_t* target : {L"..\\escape.txt", L"a:b", L"C:\\x.txt", L"sub\\..\\..\\y.txt", L"dot."}) {
        EXPECT_LT(m_engine.MoveLocal(IdOf(item), target, "h", 1), 0) << brelio::WideToUtf8(target);
    }
    EXPECT_EQ(ReadFileBytes(Local(L"keep.txt")), "stay");
    EXPECT_EQ(Row(L"keep.txt").status, FILE_STATUS_SYNCED) << "not marked failed: nothing was tried";
    EXPECT_FALSE(FileExists(m_folder.Path() + L"\\escape.txt"));
    EXPECT_EQ(CountItems(Items(), SYNC_ITEM_FAILED, L""), 5u);

    EXPECT_LT(m_engine.MoveLocal(IdOf(item), L"nofolder\\k.txt", "h", 1), 0);
    EXPECT_EQ(Row(L"keep.txt").status, FILE_STATUS_LOCAL_FAILED) << "a failed local move";
    EXPECT_TRUE(Contains(LogText(), L"Failed to move file(0x"));
    EXPECT_LT(m_engine.MoveLocal(4242, L"x.txt", "h", 1), 0);
    EXPECT_TRUE(Contains(LogText(), L"Failed to get storage file(0x"));
}

TEST_F(FileActions, RemoteDeleteAndRename) {
    const Json::Value trashed = SyncedFile("/t.txt", L"t.txt", "t");
    Seed({FolderItem("/sub")});
    const Json::Value renamed = Seed({FileWithContent("/sub/r.txt", "r")})[0];
    MakeLocalFolder(L"sub");
    WriteLocal(L"sub\\s.txt", "r");
    RecordSynced(renamed, L"sub\\r.txt");
    ClearLog();
    ASSERT_EQ(m_engine.DeleteRemote(IdOf(trashed), L"t.txt", false), S_OK);
    EXPECT_EQ(CountRequests("POST", "/trash"), 1u);
    EXPECT_TRUE(Item(IdOf(trashed))["trashed"].asBool());
    EXPECT_FALSE(HasRow(L"t.txt"));
    EXPECT_TRUE(Contains(LogText(), Local(L"t.txt") + L"(remote) - deleted."));

    ASSERT_EQ(m_engine.RenameRemote(IdOf(renamed), L"sub\\s.txt", L"sub\\r.txt"), S_OK);
    const Json::Value requests = Requests();
    const Json::Value& put = requests[requests.size() - 1];
    EXPECT_EQ(put["method"].asString(), "PUT");
    EXPECT_NE(put["body"].asString().find("\"s.txt\""), std::string::npos) << "only the last component";
    EXPECT_EQ(put["body"].asString().find("sub"), std::string::npos);
    EXPECT_EQ(ItemAt("/sub/s.txt")["id"], renamed["id"]);
    EXPECT_EQ(Row(L"sub\\s.txt").file_id, IdOf(renamed));
    EXPECT_FALSE(HasRow(L"sub\\r.txt"));
    EXPECT_TRUE(Contains(LogText(), L"sub\\s.txt(remote) - renamed."));
    const auto items = Items();
    EXPECT_EQ(CountItems(items, SYNC_ITEM_DONE, L"\\t.txt"), 1u);
    EXPECT_EQ(CountItems(items, SYNC_ITEM_DONE, L"sub\\s.txt"), 1u);

    // Trashed already (by a run cut off before it could record it): the
    // deletion holds, and nothing is reported as failed.
    ClearLog();
    EXPECT_EQ(m_engine.DeleteRemote(IdOf(trashed), L"t.txt", false), S_OK) << "already gone";
    EXPECT_EQ(CountRequests("POST", "/trash"), 1u);
    EXPECT_FALSE(Contains(LogText(), Local(L"t.txt") + L"(remote) - failed to delete(0x"));
    EXPECT_EQ(CountItems(Items(), SYNC_ITEM_FAILED, L"\t.txt"), 0u);
}

TEST_F(FileActions, RemoteFolderCreation) {
    MakeLocalFolder(L"made");
    uint64_t id = 0;
    ClearLog();
    ASSERT_EQ(m_engine.CreateRemoteFolderForPath(Local(L"made").c_str(), id), S_OK);
    EXPECT_EQ(CountRequests("POST", "create-folder"), 1u);
    EXPECT_EQ(id, IdOf(ItemAt("/made")));
    EXPECT_EQ(Row(L"made").file_id, id);
    EXPECT_TRUE(Row(L"made").is_folder);
    EXPECT_EQ(CountItems(Items(), SYNC_ITEM_DONE, L"\\made"), 1u);

    // The name exists already: the row of that path gives the id.
    uint64_t again = 0;
    WIN32_FIND_DATAW data = {};
    wcscpy(data.cFileName, L"made");
    EXPECT_EQ(m_engine.CreateRemoteFolder(0, Local(L"made").c_str(), data, again), S_OK);
    EXPECT_EQ(again, id);
    MakeLocalFolder(L"made\\inner");
    uint64_t inner = 0;
    ASSERT_EQ(m_engine.CreateRemoteFolderForPath(Local(L"made\\inner").c_str(), inner), S_OK);
    EXPECT_EQ(ItemAt("/made/inner")["id"].asString(), std::to_string(inner)) << "under its parent's id";
}

TEST_F(FileActions, ConflictCopyNames) {
    WriteLocal(L"plan.docx", "p");
    WriteLocal(L"README", "r");
    std::wstring copy;
    ASSERT_EQ(m_engine.MakeConflictCopy(Local(L"plan.docx").c_str(), copy), S_OK);
    wchar_t computer[16] = L"";
    DWORD length = 16;
    ::GetComputerNameW(computer, &length);
    const std::wstring prefix = Local(L"plan(conflicted and copied from ") + computer + L" ";
    EXPECT_EQ(copy.rfind(prefix, 0), 0u) << brelio::WideToUtf8(copy);
    EXPECT_EQ(copy.size(), prefix.size() + 17 + 6) << "YYYY-MM-DD HHMMSS, then ).docx";
    EXPECT_EQ(copy.substr(copy.size() - 6), L").docx");
    ASSERT_EQ(m_engine.MakeConflictCopy(Local(L"README").c_str(), copy), S_OK);
    EXPECT_EQ(copy.back(), L')');
    // A copy made in the same second as the one before finds its name taken.
    HRESULT again = S_OK;
    for (int i = 0; i < 8 && again == S_OK; ++i) again = m_engine.MakeConflictCopy(Local(L"README").c_str(), copy);
    EXPECT_EQ(again, HRESULT_FROM_WIN32(ERROR_FILE_EXISTS));
    EXPECT_TRUE(copy.empty());
    EXPECT_TRUE(Items().empty()) << "a conflict copy posts nothing";
}

}  // namespace
