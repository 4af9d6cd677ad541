#pragma once
#include <gtest/gtest.h>

#include <windows.h>

#include <ostream>
#include <string>
#include <vector>

#include "BrelioCore/JXEvent.h"
#include "BrelioSync/FileChangeQueue.h"
#include "BrelioSync/FileMonitorThread.h"
#include "BrelioSync/IgnoreList.h"
#include "TempFolder.h"

namespace brelio::test {

// A queued change as a test compares it: the action, the path relative to
// the sync folder and the folder flag.
struct Queued {
    int action = 0;
    std::wstring name;
    bool isFolder = false;
    bool operator==(const Queued&) const = default;
};
void PrintTo(const Queued& change, std::ostream* out);

// Takes every change off the queue; paths outside the root keep their
// full text.
std::vector<Queued> TakeQueued(CFileChangeQueue& queue, const std::wstring& root);

// One step of a local edit: 'w' writes a (with b as its bytes, when
// given), 'd' makes folder a, 'r' renames a to b (replacing b), 'x' removes
// file or empty folder a.
struct Step {
    char op;
    const wchar_t* a;
    const wchar_t* b = nullptr;
};

// A sync folder watched by a real monitor thread.
//
// Two things Wine's ReadDirectoryChangesW does differently from Windows,
// which every test of the monitor works around:
// - over a subtree it does not watch the folders that existed when the
//   watch started, only those made after it: a test makes its folders
//   after StartMonitor;
// - a watched folder that is renamed keeps reporting the changes inside it
//   under its old path: a test makes no change inside a folder it renamed
//   before;
// - a folder made while the monitor watches is watched only once Wine has
//   read its creation, which on a busy machine can come after the next
//   step: Run waits for the folder's report before it makes anything in it.
class MonitorTest : public ::testing::Test {
protected:
    explicit MonitorTest(DWORD changeBufferBytes = CFileMonitorThread::kChangeBufferBytes)
        : m_monitor(changeBufferBytes) {}
    void SetUp() override;
    void TearDown() override;

    std::wstring Local(const std::wstring& relative) const { return m_root + L"\\" + relative; }
    void Write(const std::wstring& relative, const std::string& bytes = "x");
    void MakeFolder(const std::wstring& relative);
    void Rename(const std::wstring& from, const std::wstring& to);
    void Remove(const std::wstring& relative);
    void Run(const std::vector<Step>& steps);
    // Waits until the monitor has reported folder `relative` made; false
    // after the bound. Taken off the queue here, StopAndTake still gives it.
    virtual bool WaitUntilFolderReported(const std::wstring& relative);

    // Writes a probe file into `folder` ("" for the sync folder) until the
    // monitor reports it, and has the probe ignored from then on: the
    // monitor reads the changes inside that folder. False after the bound.
    // The other changes taken meanwhile go to `others`.
    bool WaitUntilWatched(const std::wstring& folder, std::vector<Queued>& others);

    // Starts the monitor and returns once it reads the folder's changes:
    // a change made before that would go unseen.
    void StartMonitor();
    // Stops the monitor the way the sync manager does; every change made
    // before has been queued when it returns.
    void StopMonitor();
    // The changes queued until the monitor stopped, the probe's left out.
    std::vector<Queued> StopAndTake();

    CTempFolder m_folder;
    std::wstring m_root;
    CFileChangeQueue m_queue;
    // The probes WaitUntilWatched wrote, whose changes no test expects.
    std::vector<std::wstring> m_probes;
    bool IsProbe(const Queued& change) const;
    // Taken off the queue while the monitor ran, before StopAndTake.
    std::vector<Queued> m_taken;
    bool m_watching = false;
    CIgnoreList m_ignoreList;
    CJXEvent m_fullSync{false, false, nullptr};
    CFileMonitorThread m_monitor;
};

}  // namespace brelio::test
