// The engine's own temporary files never reach the drive, and paths near
// or over the length limit are written or reported, never dropped unseen.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <string>
#include <vector>

#include "BrelioCore/TextConvert.h"
#include "BrelioCore/UniqueHandle.h"
#include "BrelioServices/FileTransfer.h"
#include "BrelioSync/SyncItem.h"
#include "DriveTree.h"
#include "EngineTest.h"
#include "PollingWatch.h"

using namespace brelio::test;

namespace {

// Paths of 248 characters and more need the long form for the folder
// calls on Windows.
std::wstring LongForm(const std::wstring& path) { return L"\\\\?\\" + path; }

// Makes folders below the sync folder until the path has exactly `length`
// characters; returns that path.
std::wstring MakeFolderOfLength(const std::wstring& root, size_t length) {
    std::wstring path = root;
    char letter = 'a';
    while (path.size() < length) {
        const size_t room = length - path.size() - 1;
        // Never leave a room of one character: it holds a backslash only.
        const size_t part = room <= 60 ? room : (room == 61 ? 59 : 60);
        path += L'\\';
        path += std::wstring(part, static_cast<wchar_t>(letter++));
        if (!::CreateDirectoryW(LongForm(path).c_str(), nullptr)) return {};
    }
    return path;
}

bool WriteLongPath(const std::wstring& path, const std::string& bytes) {
    brelio::UniqueKernelHandle file(::CreateFileW(LongForm(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return file && ::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

// Every file below the folder whose name a download gives its temporary file.
void FindEngineTemporaries(const std::wstring& folder, std::vector<std::wstring>& found) {
    for (const LocalItem& item : LocalItems(folder))
        if (!item.isFolder && LastName(item.path).rfind("$$$", 0) == 0) found.push_back(item.fullPath);
}

// Looks, on a thread of its own while a download runs, at every temporary
// file below the folder and keeps the longest path seen.
class TemporaryWatcher {
public:
    explicit TemporaryWatcher(std::wstring folder) : m_folder(std::move(folder)), m_watch([this] { Look(); }) {}
    void Finish() { m_watch.Finish(); }
    int Seen() const { return m_seen; }
    size_t Longest() const { return m_longest; }

private:
    void Look() {
        std::vector<std::wstring> found;
        FindEngineTemporaries(m_folder, found);
        for (const std::wstring& path : found) {
            ++m_seen;
            if (path.size() > m_longest) m_longest = path.size();
        }
    }

    std::wstring m_folder;
    std::atomic<int> m_seen{0};
    std::atomic<size_t> m_longest{0};
    CPollingWatch m_watch;
};

class StrayFiles : public EngineTest {
protected:
    bool RemoteHas(const std::string& name) {
        return HasItemNamed(RemoteTree(m_account.session, TrashedItems::Included), name);
    }
    std::vector<std::wstring> Temporaries() {
        std::vector<std::wstring> found;
        FindEngineTemporaries(m_root, found);
        return found;
    }
};

TEST_F(StrayFiles, DownloadIntoAFolderOf250Characters) {
    const std::wstring folder = MakeFolderOfLength(m_root, 250);
    ASSERT_EQ(folder.size(), 250u);
    // 259 characters: the longest path the engine accepts.
    const std::wstring target = folder + L"\\deep.txt";
    ASSERT_EQ(target.size(), 259u);
    const Json::Value remote = Seed({FileWithContent("/deep.txt", "far down")})[0];
    FileInfo info;
    info.id = IdOf(remote);
    info.name = L"deep.txt";
    info.hash = remote["hash"].asString();
    info.revision = std::stoull(remote["revision"].asString());
    info.type = "file";
    // Slow enough for the watcher to see the temporary file.
    Json::Value slow;
    slow["method"] = "GET";
    slow["path"] = "media=raw";
    slow["delayMs"] = 300;
    AddFault(slow);
    TemporaryWatcher watcher(m_root);
    ASSERT_EQ(m_engine.Download(info, target.c_str(), RowWrite::Insert), S_OK);
    watcher.Finish();
    EXPECT_GT(watcher.Seen(), 0) << "the content went through a temporary file";
    // Windows refuses longer paths to a program that does not ask for more.
    EXPECT_LT(watcher.Longest(), static_cast<size_t>(MAX_PATH)) << "the temporary file's path fits";
    EXPECT_EQ(ReadFileBytes(target), "far down");
    EXPECT_EQ(Row(target.substr(m_root.size() + 1)).file_id, IdOf(remote));
    EXPECT_TRUE(Temporaries().empty()) << "no temporary file stays anywhere";
    EXPECT_EQ(CountItems(Items(), SYNC_ITEM_DONE, L"\\deep.txt"), 1u);
}

// A crash, kill or shutdown in the middle of a download leaves its
// temporary file; the next full sync removes it and sends it nowhere. A
// user's file that only looks alike is the user's.
TEST_F(StrayFiles, LeftoversAreRemovedAndNeverUploadedUserLookalikesAreSynced) {
    MakeLocalFolder(L"sub");
    struct Case {
        const wchar_t* relative;
        bool leftover;
    };
    const Case cases[] = {
        {L"$$$brelio-0123456789abcdef.tmp", true},
        {L"sub\\$$$brelio-FEDCBA9876543210.tmp", true},
        {L"$$$1234.tmp", false},
        {L"sub\\$$$brelio-notes.tmp", false},
        {L"$$$brelio-0123456789abcdef.tmp.txt", false},
    };
    for (const Case& c : cases) WriteLocal(c.relative, "bytes of " + brelio::WideToUtf8(c.relative));
    // One that cannot be removed (held open by another program) is still
    // passed over.
    const std::wstring held = Local(L"sub\\$$$brelio-00000000ffffffff.tmp");
    ASSERT_TRUE(WriteFileBytes(held, "partial"));
    brelio::UniqueKernelHandle holder(
        ::CreateFileW(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(holder);

    ASSERT_EQ(m_engine.FullSyncWalk(), S_OK);

    const std::string log = LogText();
    for (const Case& c : cases) {
        const std::string name = brelio::WideToUtf8(c.relative);
        SCOPED_TRACE(name);
        const std::string leaf = name.substr(name.find_last_of('\\') + 1);
        if (c.leftover) {
            EXPECT_FALSE(FileExists(Local(c.relative))) << "removed";
            EXPECT_NE(log.find(brelio::WideToAnsi(Local(c.relative)) + " - leftover temporary file removed."),
                      std::string::npos);
            EXPECT_FALSE(RemoteHas(leaf)) << "never uploaded";
            EXPECT_FALSE(HasRow(c.relative));
        } else {
            EXPECT_EQ(ReadFileBytes(Local(c.relative)), "bytes of " + name) << "kept";
            EXPECT_TRUE(RemoteHas(leaf)) << "synced like any file";
            EXPECT_EQ(Row(c.relative).status, FILE_STATUS_SYNCED);
        }
    }
    EXPECT_TRUE(FileExists(held));
    EXPECT_FALSE(RemoteHas("$$$brelio-00000000ffffffff.tmp"));
    EXPECT_FALSE(HasRow(L"sub\\$$$brelio-00000000ffffffff.tmp"));
    EXPECT_EQ(CountItems(Items(), SYNC_ITEM_FAILED, L""), 0u);
}

// A remote file under the engine's temporary name would be removed as a
// leftover at the next start, and then trashed as deleted here: it is
// refused instead, and the user sees it.
TEST_F(StrayFiles, ARemoteFileUnderTheTemporaryNameIsRefused) {
    Seed({FileWithContent("/$$$brelio-0123456789abcdef.tmp", "remote"), FileWithContent("/fine.txt", "fine")});
    (void)m_engine.FullSyncWalk();  // what it did is checked, not its last action's result
    EXPECT_FALSE(FileExists(Local(L"$$$brelio-0123456789abcdef.tmp")));
    EXPECT_EQ(ReadFileBytes(Local(L"fine.txt")), "fine");
    EXPECT_TRUE(RemoteHas("$$$brelio-0123456789abcdef.tmp")) << "left alone on the drive";
    EXPECT_EQ(CountItems(Items(), SYNC_ITEM_FAILED, L"\\$$$brelio-0123456789abcdef.tmp"), 1u);
}

// A folder deleted remotely whose only content is a temporary file holds
// nothing of the user's: it goes.
TEST_F(StrayFiles, ATemporaryFileIsNoLocalChange) {
    const Json::Value folder = Seed({FolderItem("/gone")})[0];
    MakeLocalFolder(L"gone");
    RecordSynced(folder, L"gone");
    WriteLocal(L"gone\\$$$brelio-0123456789abcdef.tmp", "partial");
    Json::Value trash;
    trash["op"] = "trash";
    trash["path"] = "/gone";
    Remote(trash);
    ASSERT_EQ(m_engine.FullSyncFolder(m_root.c_str(), 0), S_OK);
    EXPECT_FALSE(FileExists(Local(L"gone"))) << "deleted here too";
    EXPECT_FALSE(RemoteHas("$$$brelio-0123456789abcdef.tmp"));
    EXPECT_FALSE(HasRow(L"gone"));
}

TEST_F(StrayFiles, ALocalPathTooLongIsAFailedItem) {
    const std::wstring folder = MakeFolderOfLength(m_root, 250);
    ASSERT_FALSE(folder.empty());
    const std::wstring tooLong = folder + L"\\much-too-long-a-name.txt";
    ASSERT_GT(tooLong.size(), static_cast<size_t>(MAX_PATH));
    ASSERT_TRUE(WriteLongPath(tooLong, "cannot be synced"));
    WriteLocal(L"short.txt", "fine");
    ASSERT_TRUE(SUCCEEDED(m_engine.FullSyncWalk()));
    const auto items = Items();
    const std::vector<PostedMessage> failed = [&] {
        std::vector<PostedMessage> out;
        for (const PostedMessage& item : items)
            if (item.what == 1 && item.kind == SYNC_ITEM_FAILED) out.push_back(item);
        return out;
    }();
    ASSERT_EQ(failed.size(), 1u);
    // The list shows as much of the path as it holds.
    EXPECT_EQ(failed[0].path, tooLong.substr(0, MAX_PATH));
    EXPECT_FALSE(failed[0].isFolder);
    EXPECT_NE(LogText().find(brelio::WideToAnsi(tooLong) + " - path too long."), std::string::npos);
    EXPECT_FALSE(RemoteHas("much-too-long-a-name.txt"));
    EXPECT_TRUE(RemoteHas("short.txt"));
    EXPECT_TRUE(m_engine.IsPassIncomplete()) << "a pass that left an item out does not say the sync completed";
    ::DeleteFileW(LongForm(tooLong).c_str());
}

// A "deleted" change of an item that never had a row here names the item in
// its log line.
TEST_F(StrayFiles, DeletedChangeWithoutARowNamesTheItem) {
    ChangeInfo change;
    change.changeType = "deleted";
    change.file.id = 424242;
    change.file.name = L"never-here.txt";
    change.file.path = L"/docs/never-here.txt";
    change.file.type = "file";
    change.file.revision = 7;
    ChangeRecordList local;
    ChangeInfoList remote{change};
    ReconcileOutcome outcome;
    EXPECT_EQ(m_engine.Reconcile(local, remote, outcome), S_OK);
    EXPECT_NE(LogText().find(brelio::WideToAnsi(Local(L"docs\\never-here.txt")) + " - storage file not found."),
              std::string::npos)
        << LogText();
    EXPECT_EQ(LogText().find(") - storage file not found."), std::string::npos) << "no line without a path";
}

}  // namespace
