#include "StorageFixture.h"

#include "BrelioServices/LocalStorage.h"
#include "BrelioServices/RegistryLayout.h"

namespace brelio::test {

namespace {

void DeleteSettingsKey() { ::RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKeyPath); }

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

}  // namespace

void PrintTo(const ChangeRow& row, std::ostream* out) {
    *out << "{\"" << Narrow(row.name) << "\", action " << row.action << ", id " << row.fileId;
    if (!row.oldName.empty()) *out << ", from \"" << Narrow(row.oldName) << "\"";
    *out << "}";
}

void StorageUpdateTest::SetUp() {
    MonitorTest::SetUp();
    DeleteSettingsKey();
    static int mutexes = 0;
    const std::wstring mutexName = L"BrelioMonitorTestMutex-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                                   std::to_wstring(++mutexes);
    ASSERT_NO_FATAL_FAILURE(SetUpDatabase(m_folder.Path(), mutexName.c_str()));
}

void StorageUpdateTest::TearDown() {
    MonitorTest::TearDown();
    if (m_storage.IsRunning()) StopStorage();
    TearDownDatabase();
    DeleteSettingsKey();
}

void StorageUpdateTest::SetSyncIdleTime(DWORD milliseconds) {
    ASSERT_EQ(::RegSetKeyValueW(HKEY_CURRENT_USER, kSettingsKeyPath, kSyncIdleTimeValue, REG_DWORD, &milliseconds,
                                sizeof(milliseconds)),
              ERROR_SUCCESS);
}

StorageUpdateSettings StorageUpdateTest::Settings(const CSyncFolderList* selection) const {
    StorageUpdateSettings settings;
    settings.syncRoot = m_root;
    settings.databasePath = m_database;
    settings.storageMutex = const_cast<CNamedMutex*>(&m_mutex);
    settings.selectedFolders = selection;
    return settings;
}

void StorageUpdateTest::StartStorage(const CSyncFolderList* selection) {
    ASSERT_EQ(m_storage.Start(&m_queue, &m_ignoreList, &m_partialSync, &m_fullSync, Settings(selection)), S_OK);
}

void StorageUpdateTest::StartStorageWaiting() {
    ASSERT_NO_FATAL_FAILURE(StartStorage());
    // The thread logs its start and goes straight into its first wait.
    ASSERT_TRUE(WaitFor([&] { return LogText().find("StorageUpdateThread started") != std::string::npos; }));
}

void StorageUpdateTest::Queue(const std::wstring& relative, int action, bool isFolder) {
    m_queue.Enqueue(Local(relative).c_str(), action, isFolder);
}

void StorageUpdateTest::StopStorage() {
    m_queue.Enqueue(L"", FILE_CHANGE_STOP, false);
    m_queue.Signal();
    ASSERT_EQ(m_storage.Close(4000), S_OK);
}

void StorageUpdateTest::StartThreads() {
    StartMonitor();
    StartStorage();
}

void StorageUpdateTest::StopThreads() {
    StopMonitor();
    StopStorage();
}

bool StorageUpdateTest::WaitUntilFolderReported(const std::wstring& relative) {
    if (!m_storage.IsRunning()) return MonitorTest::WaitUntilFolderReported(relative);
    return WaitFor([&] {
        for (const ChangeRow& change : Changes())
            if (change.name == relative && change.action == CHANGE_ACTION_ADDED) return true;
        return false;
    });
}

std::vector<ChangeRow> StorageUpdateTest::Changes() {
    ChangeRecordList records;
    CLocalStorage storage(&m_mutex, m_database.c_str(), m_root.c_str());
    EXPECT_EQ(storage.GetChanges(records, false), S_OK);
    std::vector<ChangeRow> rows;
    for (const ChangeRecord& record : records)
        rows.push_back({record.name, record.action, record.file_id, record.old_name});
    return rows;
}

bool StorageUpdateTest::WaitFor(const std::function<bool()>& condition, DWORD milliseconds) {
    const ULONGLONG start = ::GetTickCount64();
    for (;;) {
        if (condition()) return true;
        if (::GetTickCount64() - start >= milliseconds) return false;
        ::Sleep(20);
    }
}

}  // namespace brelio::test
