#include "TwoSidedTest.h"

#include <shlwapi.h>

#include <iostream>
#include <sstream>

#include "BrelioCore/TextConvert.h"
#include "BrelioSync/StorageUpdateThread.h"
#include "Sha256.h"

namespace brelio::test {

namespace {

std::wstring Backslashed(const std::string& path) {
    std::wstring wide = Utf8ToWide(path.c_str());
    for (wchar_t& c : wide)
        if (c == L'/') c = L'\\';
    return wide;
}

// The differences between two states, one line each.
std::string Difference(const DriveTree& local, const DriveTree& remote) {
    std::ostringstream out;
    for (const auto& [path, content] : local) {
        const auto other = remote.find(path);
        if (other == remote.end())
            out << "  only local: " << path << "\n";
        else if (other->second != content)
            out << "  different content: " << path << "\n";
    }
    for (const auto& [path, content] : remote)
        if (!local.count(path)) out << "  only remote: " << path << "\n";
    return out.str();
}

}  // namespace

void TwoSidedTest::SetUp() { EngineTest::SetUp(); }

void TwoSidedTest::TearDown() {
    if (HasFailure()) std::cout << "The engine's log:\n" << LogText();
    EngineTest::TearDown();
}

std::wstring TwoSidedTest::LocalPath(const std::string& path) const { return Local(Backslashed(path)); }

std::string TwoSidedTest::Known(const std::string& content) {
    const std::string hash = Sha256Hex(content);
    m_contentOfHash[hash] = content;
    return hash;
}

void TwoSidedTest::StartSynced(const ExpectedTree& items) {
    Json::Value seed(Json::arrayValue);
    for (const auto& [path, content] : items) {
        if (content == kFolderMark) {
            seed.append(FolderItem("/" + path));
        } else {
            Known(content);
            seed.append(FileWithContent("/" + path, content));
        }
    }
    Seed(seed);
    RunFull();
    ASSERT_TRUE(Converged()) << "the synced start";
    ASSERT_TRUE(Holds(items)) << "the synced start";
}

void TwoSidedTest::Queue(const std::wstring& fullPath, int action) {
    if (m_readLate) {
        m_unread.emplace_back(fullPath, action);
        return;
    }
    // The monitor tells a folder from a file by looking at the path when it
    // reads the event: a path that is gone reads as a file.
    const bool present = action == FILE_CHANGE_ADDED || action == FILE_CHANGE_MODIFIED ||
                         action == FILE_CHANGE_RENAMED_NEW;
    m_queue.Enqueue(fullPath.c_str(), action, present && ::PathIsDirectoryW(fullPath.c_str()));
}

void TwoSidedTest::LocalWrite(const std::string& path, const std::string& content, bool reported) {
    Known(content);
    const std::wstring full = LocalPath(path);
    const bool existed = FileExists(full);
    ASSERT_TRUE(WriteFileBytes(full, content)) << path;
    if (!reported) return;
    if (!existed) Queue(full, FILE_CHANGE_ADDED);
    Queue(full, FILE_CHANGE_MODIFIED);
}

void TwoSidedTest::LocalMakeFolder(const std::string& path) {
    const std::wstring full = LocalPath(path);
    ASSERT_TRUE(::CreateDirectoryW(full.c_str(), nullptr)) << path;
    Queue(full, FILE_CHANGE_ADDED);
}

void TwoSidedTest::LocalDelete(const std::string& path) {
    const std::wstring full = LocalPath(path);
    if (::PathIsDirectoryW(full.c_str())) {
        RemoveTree(full);
    } else {
        ASSERT_TRUE(::DeleteFileW(full.c_str())) << path;
    }
    ASSERT_FALSE(FileExists(full)) << path;
    Queue(full, FILE_CHANGE_REMOVED);
}

void TwoSidedTest::LocalMove(const std::string& path, const std::string& newPath) {
    const std::wstring from = LocalPath(path);
    const std::wstring to = LocalPath(newPath);
    if (_wcsicmp(from.c_str(), to.c_str()) == 0) {
        // Under Wine a rename that changes only letter case succeeds and
        // changes nothing: it goes through another name. The events are
        // queued as Windows reports the rename itself.
        const std::wstring between = to + L".case";
        ASSERT_TRUE(::MoveFileW(from.c_str(), between.c_str())) << path;
        ASSERT_TRUE(::MoveFileW(between.c_str(), to.c_str())) << newPath;
    } else {
        ASSERT_TRUE(::MoveFileW(from.c_str(), to.c_str())) << path << " -> " << newPath;
    }
    Queue(from, FILE_CHANGE_RENAMED_OLD);
    Queue(to, FILE_CHANGE_RENAMED_NEW);
}

void TwoSidedTest::RecordLocalChanges() {
    m_readLate = false;
    for (const auto& [path, action] : m_unread) Queue(path, action);
    m_unread.clear();
    if (m_queue.IsEmpty()) return;
    StorageUpdateSettings settings;
    settings.syncRoot = m_root;
    settings.databasePath = m_database;
    settings.storageMutex = &m_mutex;
    settings.selectedFolders = &m_selection;
    CStorageUpdateThread storage;
    // No ignore list: the engine's own writes never reach this queue, and a
    // mask still held from the last pass must not swallow the test's edits.
    ASSERT_EQ(storage.Start(&m_queue, nullptr, nullptr, nullptr, settings), S_OK);
    // The thread records everything queued before the stop request, in
    // order, and ends at the request.
    m_queue.Enqueue(L"", FILE_CHANGE_STOP, false);
    m_queue.Signal();
    ASSERT_EQ(storage.Close(60000), S_OK);
    m_queue.Clear();
}

void TwoSidedTest::RemoteWrite(const std::string& path, const std::string& content) {
    Known(content);
    Json::Value change;
    change["op"] = "upload";
    change["path"] = "/" + path;
    change["content"] = Base64(content);
    ASSERT_TRUE(Remote(change).isObject()) << path;
}

void TwoSidedTest::RemoteMakeFolder(const std::string& path) {
    Json::Value change;
    change["op"] = "mkdir";
    change["path"] = "/" + path;
    ASSERT_TRUE(Remote(change).isObject()) << path;
}

void TwoSidedTest::RemoteRename(const std::string& path, const std::string& newName) {
    Json::Value change;
    change["op"] = "rename";
    change["path"] = "/" + path;
    change["newName"] = newName;
    ASSERT_TRUE(Remote(change).isObject()) << path;
}

void TwoSidedTest::RemoteMove(const std::string& path, const std::string& newParent) {
    Json::Value change;
    change["op"] = "move";
    change["path"] = "/" + path;
    change["newParentPath"] = "/" + newParent;
    ASSERT_TRUE(Remote(change).isObject()) << path;
}

void TwoSidedTest::RemoteTrash(const std::string& path) {
    Json::Value change;
    change["op"] = "trash";
    change["path"] = "/" + path;
    ASSERT_TRUE(Remote(change).isObject()) << path;
}

void TwoSidedTest::RunPartial() {
    m_engine.RunPartialPass();
    Items();
}

void TwoSidedTest::RunFull() {
    m_engine.FullSync();
    Items();
}

void TwoSidedTest::RunPasses(bool* convergedAfterPartials) {
    RecordLocalChanges();
    RunPartial();
    RunPartial();
    if (convergedAfterPartials != nullptr) *convergedAfterPartials = LocalState() == RemoteState();
    RunFull();
    RunPartial();
}

DriveTree TwoSidedTest::LocalState() { return LocalTree(m_root); }

DriveTree TwoSidedTest::RemoteState() { return RemoteTree(m_account.session); }

std::string TwoSidedTest::Describe(const DriveTree& state) const {
    std::ostringstream out;
    for (const auto& [path, content] : state) {
        out << "  " << path;
        if (content == kFolderMark) {
            out << "/";
        } else {
            const auto known = m_contentOfHash.find(content);
            out << " = \"" << (known != m_contentOfHash.end() ? known->second : content.substr(0, 12)) << "\"";
        }
        out << "\n";
    }
    return out.str();
}

::testing::AssertionResult TwoSidedTest::Converged() {
    const DriveTree local = LocalState();
    const DriveTree remote = RemoteState();
    if (local == remote) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "the two sides differ:\n"
                                         << Difference(local, remote) << "local:\n"
                                         << Describe(local) << "remote:\n"
                                         << Describe(remote);
}

::testing::AssertionResult TwoSidedTest::Kept(const std::vector<std::string>& contents) {
    const DriveTree local = LocalState();
    std::ostringstream lost;
    for (const std::string& content : contents) {
        const std::string hash = Known(content);
        bool found = false;
        for (const auto& [path, held] : local) found = found || held == hash;
        if (!found) lost << "  \"" << content << "\"\n";
    }
    if (lost.str().empty()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "contents lost:\n" << lost.str() << "local:\n" << Describe(local);
}

::testing::AssertionResult TwoSidedTest::Holds(const ExpectedTree& expected) {
    const DriveTree local = LocalState();
    DriveTree unmatched = local;
    std::ostringstream missing;
    for (const auto& [pattern, content] : expected) {
        const std::string want = content == kFolderMark ? std::string(kFolderMark) : Known(content);
        auto match = unmatched.end();
        for (auto it = unmatched.begin(); it != unmatched.end(); ++it)
            if (it->second == want && MatchesPattern(it->first, pattern)) match = it;
        if (match == unmatched.end())
            missing << "  " << pattern << (want == kFolderMark ? "" : " = \"" + content + "\"") << "\n";
        else
            unmatched.erase(match);
    }
    if (missing.str().empty() && unmatched.empty()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "the local tree is not the expected one:\n"
                                         << "missing:\n"
                                         << missing.str() << "unexpected:\n"
                                         << Describe(unmatched) << "local:\n"
                                         << Describe(local);
}

bool MatchesPattern(const std::string& text, const std::string& pattern) {
    const size_t star = pattern.find('*');
    if (star == std::string::npos) return text == pattern;
    const std::string head = pattern.substr(0, star);
    const std::string rest = pattern.substr(star + 1);
    if (text.compare(0, head.size(), head) != 0) return false;
    for (size_t from = head.size(); from <= text.size(); ++from)
        if (MatchesPattern(text.substr(from), rest)) return true;
    return false;
}

}  // namespace brelio::test
