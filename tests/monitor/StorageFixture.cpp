#include "StorageFixture.h"

#include <algorithm>

#include "BrelioServices/LocalStorage.h"
#include "BrelioServices/Log.h"
#include "BrelioServices/RegistryLayout.h"
#include "BrelioServices/SQLiteConnection.h"

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

void PrintTo(const FileRow& row, std::ostream* out) {
    *out << "{\"" << Narrow(row.name) << "\", id " << row.fileId << ", status " << row.status << "}";
}

FileRecord SyncedFile(uint64_t id, const wchar_t* name) {
    FileRecord row;
    row.file_id = id;
    row.name = name;
    row.revision = 1;
    row.status = FILE_STATUS_SYNCED;
    return row;
}

FileRecord SyncedFolder(uint64_t id, const wchar_t* name) {
    FileRecord row = SyncedFile(id, name);
    row.is_folder = true;
    return row;
}

void StorageUpdateTest::SetUp() {
    MonitorTest::SetUp();
    DeleteSettingsKey();
    m_database = m_folder / L"storage.db";
    m_log = m_folder / L"BrelioDrive.log";
    ASSERT_EQ(CSQLiteConnection::CreateDatabase(m_database.c_str()), 0);
    static int mutexes = 0;
    const std::wstring mutexName = L"BrelioMonitorTestMutex-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                                   std::to_wstring(++mutexes);
    ASSERT_EQ(m_mutex.Create(mutexName.c_str()), S_OK);
    SetLogPath(m_log.c_str());
    SetLogEnabled(true);
}

void StorageUpdateTest::TearDown() {
    MonitorTest::TearDown();
    if (m_storage.IsRunning()) StopStorage();
    SetLogEnabled(false);
    DeleteSettingsKey();
}

void StorageUpdateTest::Seed(const std::vector<FileRecord>& rows) {
    try {
        CSQLiteConnection db;
        db.Open(m_database.c_str(), OpenMode::ReadWrite);
        for (const FileRecord& row : rows) db.InsertFile(row);
    } catch (int code) {
        FAIL() << "seeding rows failed with " << code;
    }
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

std::vector<ChangeRow> StorageUpdateTest::Changes() {
    ChangeRecordList records;
    CLocalStorage storage(&m_mutex, m_database.c_str(), m_root.c_str());
    EXPECT_EQ(storage.GetChanges(records, false), S_OK);
    std::vector<ChangeRow> rows;
    for (const ChangeRecord& record : records)
        rows.push_back({record.name, record.action, record.file_id, record.old_name});
    return rows;
}

std::vector<FileRow> StorageUpdateTest::Rows() {
    std::vector<FileRow> rows;
    try {
        CSQLiteConnection db;
        db.Open(m_database.c_str(), OpenMode::ReadOnly);
        CSQLiteStatement statement;
        db.Prepare(L"SELECT name, file_id, status FROM file ORDER BY name", statement);
        while (statement.Step()) {
            FileRow row;
            statement.ColumnText(0, row.name, 1000);
            row.fileId = static_cast<uint64_t>(statement.ColumnInt64(1));
            row.status = statement.ColumnInt(2);
            rows.push_back(row);
        }
    } catch (int code) {
        ADD_FAILURE() << "reading rows failed with " << code;
    }
    return rows;
}

std::string StorageUpdateTest::LogText() const { return ReadFileBytes(m_log); }

bool StorageUpdateTest::WaitFor(const std::function<bool()>& condition, DWORD milliseconds) {
    const ULONGLONG start = ::GetTickCount64();
    for (;;) {
        if (condition()) return true;
        if (::GetTickCount64() - start >= milliseconds) return false;
        ::Sleep(20);
    }
}

}  // namespace brelio::test
