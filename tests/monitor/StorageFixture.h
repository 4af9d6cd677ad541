#pragma once
#include <functional>
#include <initializer_list>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "BrelioServices/StorageRecords.h"
#include "BrelioServices/SyncFolderList.h"
#include "BrelioSync/StorageUpdateThread.h"
#include "LocalDatabase.h"
#include "MonitorFixture.h"

namespace brelio::test {

// A row of the change table as a test compares it.
struct ChangeRow {
    ChangeRow(std::wstring name, int action, uint64_t fileId, std::wstring oldName = {})
        : name(std::move(name)), action(action), fileId(fileId), oldName(std::move(oldName)) {}
    std::wstring name;
    int action;
    uint64_t fileId;
    std::wstring oldName;
    bool operator==(const ChangeRow&) const = default;
};
void PrintTo(const ChangeRow& row, std::ostream* out);

// The sync folder of MonitorTest with a database of the current schema, a
// storage mutex of the test's own and a real storage-update thread. The
// program's settings key starts and ends deleted ("SyncIdleTime" lives there).
class StorageUpdateTest : public MonitorTest, public LocalDatabaseFixture {
protected:
    void SetUp() override;
    void TearDown() override;

    void SetSyncIdleTime(DWORD milliseconds);
    StorageUpdateSettings Settings(const CSyncFolderList* selection = nullptr) const;
    void StartStorage(const CSyncFolderList* selection = nullptr);
    // Returns once the thread has begun to wait for changes: from then on
    // nothing but what the test does wakes it.
    void StartStorageWaiting();
    // A change as the monitor queues it, under the sync folder.
    void Queue(const std::wstring& relative, int action, bool isFolder = false);
    // Stops the storage thread the way the sync manager does: everything
    // queued before has been written when it returns.
    void StopStorage();
    // Both threads, started and stopped in the sync manager's order.
    void StartThreads();
    void StopThreads();

    // With the storage thread running, the folder's report is its row in
    // the change table.
    bool WaitUntilFolderReported(const std::wstring& relative) override;

    std::vector<ChangeRow> Changes();
    // Polls the condition until it holds or the time is up.
    static bool WaitFor(const std::function<bool()>& condition, DWORD milliseconds = 10000);

    CJXEvent m_partialSync{false, false, nullptr};
    CStorageUpdateThread m_storage;
};

}  // namespace brelio::test
