#include "EngineRunTest.h"

#include <iostream>

#include "BrelioServices/RegistryLayout.h"
#include "Sha256.h"

namespace brelio::test {

void EngineRunTest::SetUp() {
    EngineTest::SetUp();
    const DWORD idle = kIdleTime;
    ASSERT_EQ(::RegSetKeyValueW(HKEY_CURRENT_USER, kSettingsKeyPath, kSyncIdleTimeValue, REG_DWORD, &idle, sizeof(idle)),
              ERROR_SUCCESS);
}

void EngineRunTest::TearDown() {
    EXPECT_EQ(StopThreads(), S_OK);
    if (HasFailure()) std::cout << "The engine's log:\n" << LogText();
    ::RegDeleteKeyValueW(HKEY_CURRENT_USER, kSettingsKeyPath, kSyncIdleTimeValue);
    EngineTest::TearDown();
}

void EngineRunTest::StartThreads() {
    m_stop.ResetEvent();
    ASSERT_EQ(m_monitor.Start(&m_queue, &m_manager.GetIgnoreList(), &m_full, m_root), S_OK);
    // Edits made before the monitor's first read are never reported: a probe
    // is written until it is, then ignored and removed.
    const std::wstring probe = L"watch-probe-" + std::to_wstring(++m_starts) + L".tmp";
    const ULONGLONG deadline = ::GetTickCount64() + 30000;
    bool seen = false;
    while (!seen && ::GetTickCount64() < deadline) {
        WriteLocal(probe, std::to_string(::GetTickCount64()));
        m_queue.Wait(100);
        std::unique_ptr<CFileChange> change;
        while (m_queue.Pop(change)) seen = seen || change->path == Local(probe);
    }
    ASSERT_TRUE(seen) << "the monitor never reported its probe";
    m_manager.GetIgnoreList().Add(probe.c_str());
    ::DeleteFileW(Local(probe).c_str());
    ::Sleep(100);
    m_queue.Clear();

    StorageUpdateSettings settings;
    settings.syncRoot = m_root;
    settings.databasePath = m_database;
    settings.storageMutex = &m_mutex;
    settings.selectedFolders = &m_selection;
    ASSERT_EQ(m_storage.Start(&m_queue, &m_manager.GetIgnoreList(), &m_partial, &m_full, settings), S_OK);
    ASSERT_EQ(m_engine.Start(m_engine.GetEnvironment(), &m_partial, &m_full), S_OK);
}

HRESULT EngineRunTest::StopThreads() {
    m_stop.SetEvent();
    const HRESULT monitor = m_monitor.Stop(4000);
    m_queue.Enqueue(L"", 0, false);
    m_queue.Signal();
    const HRESULT storage = m_storage.Close(4000);
    const HRESULT sync = m_engine.Close(4000);
    if (SUCCEEDED(storage)) m_queue.Clear();
    if (FAILED(monitor)) return monitor;
    return FAILED(storage) ? storage : sync;
}

bool EngineRunTest::WaitUntil(const std::function<bool()>& condition, DWORD milliseconds) {
    const ULONGLONG deadline = ::GetTickCount64() + milliseconds;
    for (;;) {
        for (PostedMessage& item : Items()) m_posted.push_back(std::move(item));
        if (condition()) return true;
        if (::GetTickCount64() >= deadline) return false;
        ::Sleep(100);
    }
}

Json::Value EngineRunTest::LiveRemoteItem(const std::string& path) {
    const Json::Value tree = ControlGet("/tree?session=" + m_account.session);
    for (const Json::Value& item : tree["items"])
        if (!item["trashed"].asBool() && item["path"].asString() == path) return item;
    return Json::Value();
}

bool EngineRunTest::RemoteHas(const std::string& path, const std::string& content) {
    const Json::Value item = LiveRemoteItem(path);
    return item.isObject() && Item(IdOf(item))["sha256"].asString() == Sha256Hex(content);
}

bool EngineRunTest::RemoteMissing(const std::string& path) { return !LiveRemoteItem(path).isObject(); }

}  // namespace brelio::test
