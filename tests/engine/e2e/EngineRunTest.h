#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "BrelioCore/JXEvent.h"
#include "BrelioSync/FileChangeQueue.h"
#include "BrelioSync/FileMonitorThread.h"
#include "BrelioSync/StorageUpdateThread.h"
#include "EngineTest.h"

namespace brelio::test {

// The engine's three threads running for real, wired as the sync manager
// wires them, against the test's folder, database and stand-in account,
// with a short idle time so that passes follow local edits quickly.
class EngineRunTest : public EngineTest {
public:
    static constexpr DWORD kIdleTime = 300;

    void SetUp() override;
    void TearDown() override;

    void StartThreads();
    // The stop sequence of the sync manager; S_OK once all three ended.
    HRESULT StopThreads();
    // Polls the condition (pumping posted items) until it holds or the
    // time is up.
    bool WaitUntil(const std::function<bool()>& condition, DWORD milliseconds = 30000);
    // The item at the path that is not in the trash; null when none.
    Json::Value LiveRemoteItem(const std::string& path);
    // The remote file at the path has exactly this content.
    bool RemoteHas(const std::string& path, const std::string& content);
    bool RemoteMissing(const std::string& path);

    // What the engine posted while WaitUntil polled.
    std::vector<PostedMessage> m_posted;
    int m_starts = 0;
    CJXEvent m_partial{false, false, nullptr};
    CJXEvent m_full{false, false, nullptr};
    CFileChangeQueue m_queue;
    CFileMonitorThread m_monitor;
    CStorageUpdateThread m_storage;
};

}  // namespace brelio::test
