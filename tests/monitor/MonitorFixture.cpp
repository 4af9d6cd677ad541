#include "MonitorFixture.h"

#include <algorithm>
#include <cwchar>
#include <memory>

#include "BrelioServices/RelativePath.h"

namespace brelio::test {

namespace {

constexpr DWORD kWatchWait = 10000;

}  // namespace

void PrintTo(const Queued& change, std::ostream* out) {
    std::string name(change.name.begin(), change.name.end());
    *out << "{" << change.action << ", \"" << name << "\"" << (change.isFolder ? ", folder" : "") << "}";
}

std::vector<Queued> TakeQueued(CFileChangeQueue& queue, const std::wstring& root) {
    std::vector<Queued> taken;
    std::unique_ptr<CFileChange> change;
    while (queue.Pop(change))
        taken.push_back({change->action, GetRelativePath(change->path.c_str(), root.c_str()), change->isFolder});
    return taken;
}

void MonitorTest::SetUp() {
    ASSERT_TRUE(m_folder.Create());
    m_root = m_folder / L"Sync";
    ASSERT_TRUE(::CreateDirectoryW(m_root.c_str(), nullptr));
}

void MonitorTest::TearDown() { EXPECT_EQ(m_monitor.Stop(4000), S_OK); }

void MonitorTest::Write(const std::wstring& relative, const std::string& bytes) {
    ASSERT_TRUE(WriteFileBytes(Local(relative), bytes)) << ::GetLastError();
}

void MonitorTest::MakeFolder(const std::wstring& relative) {
    ASSERT_TRUE(::CreateDirectoryW(Local(relative).c_str(), nullptr)) << ::GetLastError();
}

void MonitorTest::Rename(const std::wstring& from, const std::wstring& to) {
    ASSERT_TRUE(::MoveFileExW(Local(from).c_str(), Local(to).c_str(), MOVEFILE_REPLACE_EXISTING)) << ::GetLastError();
}

void MonitorTest::Remove(const std::wstring& relative) {
    const std::wstring path = Local(relative);
    const bool removed = (::GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_DIRECTORY) != 0
                             ? ::RemoveDirectoryW(path.c_str())
                             : ::DeleteFileW(path.c_str());
    ASSERT_TRUE(removed) << ::GetLastError();
}

namespace {

// True when `path` lies inside folder `folder` (both relative, letter case
// aside, as the file system compares them).
bool IsInside(const wchar_t* path, const std::wstring& folder) {
    return path != nullptr && ::wcslen(path) > folder.size() && path[folder.size()] == L'\\' &&
           ::_wcsnicmp(path, folder.c_str(), folder.size()) == 0;
}

}  // namespace

namespace {
constexpr DWORD kRearmPause = 300;
}  // namespace

void MonitorTest::Run(const std::vector<Step>& steps) {
    // The folders these steps made that the monitor has not reported yet.
    std::vector<std::wstring> unreported;
    for (const Step& step : steps) {
        for (auto folder = unreported.begin(); folder != unreported.end();) {
            if (!IsInside(step.a, *folder) && !IsInside(step.b, *folder)) {
                ++folder;
                continue;
            }
            ASSERT_TRUE(WaitUntilFolderReported(*folder))
                << "the monitor never reported " << std::string(folder->begin(), folder->end()) << " made";
            // The report leaves before the monitor asks for the next events,
            // and a loaded Wine may take the new folder into the watch only
            // then: what is made inside it in between goes unseen.
            ::Sleep(kRearmPause);
            folder = unreported.erase(folder);
        }
        if (step.op == 'd' && m_watching) unreported.push_back(step.a);
        switch (step.op) {
            case 'w': {
                const std::wstring bytes = step.b != nullptr ? step.b : L"x";
                Write(step.a, std::string(bytes.begin(), bytes.end()));
                break;
            }
            case 'd': MakeFolder(step.a); break;
            case 'r': Rename(step.a, step.b); break;
            case 'x': Remove(step.a); break;
            default: FAIL() << "unknown step " << step.op;
        }
    }
}

void MonitorTest::StartMonitor() {
    ASSERT_EQ(m_monitor.Start(&m_queue, &m_ignoreList, &m_fullSync, m_root), S_OK);
    std::vector<Queued> others;
    ASSERT_TRUE(WaitUntilWatched(L"", others)) << "the monitor never reported its probe";
    ::Sleep(100);
    m_queue.Clear();
    m_taken.clear();
    m_watching = true;
}

bool MonitorTest::WaitUntilWatched(const std::wstring& folder, std::vector<Queued>& others) {
    // Written until the monitor reports it, then ignored; a name of its own
    // for every probe.
    static int probes = 0;
    const std::wstring name = L"watch-probe-" + std::to_wstring(++probes) + L".tmp";
    const std::wstring probe = folder.empty() ? name : folder + L"\\" + name;
    const ULONGLONG start = ::GetTickCount64();
    bool seen = false;
    while (!seen && ::GetTickCount64() - start < kWatchWait) {
        if (!WriteFileBytes(Local(probe), std::to_string(::GetTickCount64()))) return false;
        m_queue.Wait(100);
        for (Queued& change : TakeQueued(m_queue, m_root)) {
            if (change.name == probe)
                seen = true;
            else if (!IsProbe(change))
                others.push_back(std::move(change));
        }
    }
    // The monitor may have read the probe's last events before it is
    // ignored: they are left out wherever they come.
    m_ignoreList.Add(probe.c_str());
    m_probes.push_back(probe);
    return seen;
}

bool MonitorTest::IsProbe(const Queued& change) const {
    return std::find(m_probes.begin(), m_probes.end(), change.name) != m_probes.end();
}

void MonitorTest::StopMonitor() {
    m_watching = false;
    ASSERT_EQ(m_monitor.Stop(4000), S_OK);
}

std::vector<Queued> MonitorTest::StopAndTake() {
    StopMonitor();
    std::vector<Queued> taken = std::move(m_taken);
    m_taken.clear();
    for (Queued& change : TakeQueued(m_queue, m_root)) taken.push_back(std::move(change));
    std::erase_if(taken, [&](const Queued& change) { return IsProbe(change); });
    return taken;
}

bool MonitorTest::WaitUntilFolderReported(const std::wstring& relative) {
    const Queued made{FILE_ACTION_ADDED, relative, true};
    const ULONGLONG start = ::GetTickCount64();
    for (;;) {
        for (Queued& change : TakeQueued(m_queue, m_root)) m_taken.push_back(std::move(change));
        if (std::find(m_taken.begin(), m_taken.end(), made) != m_taken.end()) return true;
        if (::GetTickCount64() - start >= kWatchWait) return false;
        m_queue.Wait(100);
    }
}

}  // namespace brelio::test
