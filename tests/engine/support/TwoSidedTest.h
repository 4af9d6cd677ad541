#pragma once
#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "BrelioSync/FileChangeQueue.h"
#include "DriveTree.h"
#include "EngineTest.h"

namespace brelio::test {

// What the tests expect of a tree: path to content text (or kFolderMark).
// A '*' in a path stands for any text, for names the engine makes up, such
// as conflict copies.
using ExpectedTree = std::vector<std::pair<std::string, std::string>>;

// Changes made on both sides of a synced tree, then the engine's passes on
// the test's thread, then whole trees compared. Local changes reach the
// change table as the change monitor reports them and the storage-update
// thread records them: each local operation queues the monitor's events
// for it, and RecordLocalChanges runs the real storage-update thread over
// them. Remote changes go through the stand-in's control interface, as
// another client or the web would make them.
class TwoSidedTest : public EngineTest {
public:
    void SetUp() override;
    void TearDown() override;

    // Seeds the drive (folders with kFolderMark, files with their text) and runs
    // a full sync into the empty folder, so that both sides start in sync.
    void StartSynced(const ExpectedTree& items);

    // Local operations on the real folder. `reported` false leaves the
    // monitor's events out: the change happened while the program was not
    // running (or under a mask), and only a full walk can find it.
    void LocalWrite(const std::string& path, const std::string& content, bool reported = true);
    void LocalMakeFolder(const std::string& path);
    // Files and whole folders, as the recycle bin takes them: one event.
    void LocalDelete(const std::string& path);
    // A rename within a folder or a move between folders.
    void LocalMove(const std::string& path, const std::string& newPath);
    // The storage-update thread records every event queued so far.
    void RecordLocalChanges();
    // Until the next RecordLocalChanges the monitor reads the events only
    // then, as on a busy machine: a path gone by then reads as a file,
    // whatever it was.
    void ReadEventsLate() { m_readLate = true; }

    // Remote operations through the control interface.
    void RemoteWrite(const std::string& path, const std::string& content);
    void RemoteMakeFolder(const std::string& path);
    void RemoteRename(const std::string& path, const std::string& newName);
    // newParent "" is the drive root.
    void RemoteMove(const std::string& path, const std::string& newParent);
    void RemoteTrash(const std::string& path);

    void RunPartial();
    void RunFull();
    // Partial, partial, full, partial: what any mix of changes must survive.
    // When `convergedAfterPartials` is given it tells whether both sides
    // agreed already before the full sync.
    void RunPasses(bool* convergedAfterPartials = nullptr);

    // Each side's whole tree.
    DriveTree LocalState();
    DriveTree RemoteState();
    // A state with the contents the test wrote spelled out.
    std::string Describe(const DriveTree& state) const;

    // The three rules, each as an assertion result with both trees shown.
    ::testing::AssertionResult Converged();
    // Each content is held by some file of the local tree.
    ::testing::AssertionResult Kept(const std::vector<std::string>& contents);
    // The local tree is exactly the expected one.
    ::testing::AssertionResult Holds(const ExpectedTree& expected);

    // Remembers a content so that states show it as text.
    std::string Known(const std::string& content);

    std::wstring LocalPath(const std::string& path) const;

private:
    void Queue(const std::wstring& fullPath, int action);

    CFileChangeQueue m_queue;
    bool m_readLate = false;
    std::vector<std::pair<std::wstring, int>> m_unread;
    std::map<std::string, std::string> m_contentOfHash;
};

// True when the text matches the pattern, '*' matching any run of characters.
bool MatchesPattern(const std::string& text, const std::string& pattern);

}  // namespace brelio::test
