#include "BrelioServices/SQLiteConnection.h"

#include <sqlite3.h>

#include <charconv>
#include <cstring>
#include <cwchar>
#include <iterator>

#include "BrelioServices/SQLiteText.h"
#include "CurrentSchemaStamps.h"

namespace {

struct TableDefinition {
    const wchar_t* name;
    const wchar_t* create;
};

// The stored format: the overlay library reads these tables too.
constexpr TableDefinition kTables[] = {
    {L"config", L"CREATE TABLE %s(version INTEGER NOT NULL, latest_revision INTEGER)"},
    {L"file",
     L"CREATE TABLE %s(file_id INTEGER NOT NULL, name TEXT NOT NULL UNIQUE COLLATE NOCASE, is_folder INTEGER NOT "
     L"NULL, size INTEGER, last_write_time INTEGER NOT NULL, hash TEXT, revision INTEGER NOT NULL, version "
     L"INTEGER, status INTEGER NOT NULL, PRIMARY KEY(file_id))"},
    {L"change",
     L"CREATE TABLE %s(name TEXT NOT NULL, old_name TEXT, is_folder INTEGER NOT NULL, action INTEGER NOT NULL, "
     L"file_id INTEGER, creation_time DATETIME DEFAULT CURRENT_TIMESTAMP)"},
};
constexpr int kTableCount = static_cast<int>(std::size(kTables));
constexpr const wchar_t* kConfigTable = kTables[0].name;

struct FirstColumn {
    int value = 0;
    bool seen = false;
    bool unreadable = false;
};

// Keeps the first column of the last row. A damaged or foreign file may
// hand back NULL or a non-number: that stops the statement instead of
// being read as some number.
int KeepFirstColumn(void* target, int columns, char** values, char**) {
    auto* column = static_cast<FirstColumn*>(target);
    const char* text = columns > 0 ? values[0] : nullptr;
    if (text == nullptr) {
        column->unreadable = true;
        return 1;
    }
    const char* end = text + std::strlen(text);
    int value = 0;
    const auto [stop, error] = std::from_chars(text, end, value);
    if (error != std::errc() || stop != end) {
        column->unreadable = true;
        return 1;
    }
    column->value = value;
    column->seen = true;
    return 0;
}

}  // namespace

void CSQLiteConnection::Open(const wchar_t* path, OpenMode mode) {
    Close();
    const std::string utf8 = sqltext::PathUtf8(path ? path : L"");
    const int result = mode == OpenMode::ReadOnly
                           ? sqlite3_open_v2(utf8.c_str(), &m_connection, SQLITE_OPEN_READONLY, nullptr)
                           : sqlite3_open(utf8.c_str(), &m_connection);
    sqltext::Check(result);
}

bool CSQLiteConnection::ReadStamp(DatabaseStamp& stamp) {
    HANDLE file = nullptr;
    if (sqlite3_file_control(m_connection, "main", SQLITE_FCNTL_WIN32_GET_HANDLE, &file) != SQLITE_OK ||
        file == nullptr || file == INVALID_HANDLE_VALUE)
        return false;
    return ReadDatabaseStamp(file, stamp);
}

void CSQLiteConnection::OpenCurrent(const wchar_t* path, OpenMode mode) {
    Open(path, mode);
    // The file as it stands now: one that this process found current and
    // that nobody wrote since needs no second look. The state is read
    // before the check, so that a write coming between the two makes the
    // remembered state an old one, which the next open checks again.
    DatabaseStamp stamp;
    const bool stamped = ReadStamp(stamp);
    if (!stamped || !IsKnownCurrent(stamp)) {
        if (!TableExists(kConfigTable) || ReadSchemaVersion() != kLocalStorageSchemaVersion)
            throw sqltext::kSchemaMismatch;
        if (stamped) RememberCurrent(stamp);
    }
    m_current = true;
}

void CSQLiteConnection::Close() {
    if (m_connection == nullptr) return;
    // What this connection wrote into a current file leaves it current: its
    // new state is remembered, so that the next operation is not checked
    // again for our own writes. Every writer holds the storage mutex, as
    // this one does, so nobody else wrote in between.
    DatabaseStamp stamp;
    if (m_current && sqlite3_total_changes(m_connection) > 0 && ReadStamp(stamp)) RememberCurrent(stamp);
    m_current = false;
    sqlite3_close(m_connection);
    m_connection = nullptr;
}

void CSQLiteConnection::Exec(const std::wstring& statement, int* result) {
    const std::string utf8 = sqltext::StatementUtf8(statement);
    FirstColumn column;
    char* message = nullptr;
    const int code =
        sqlite3_exec(m_connection, utf8.c_str(), result != nullptr ? KeepFirstColumn : nullptr, &column, &message);
    sqlite3_free(message);
    if (column.unreadable) throw static_cast<int>(SQLITE_MISMATCH);
    sqltext::Check(code);
    if (result != nullptr && column.seen) *result = column.value;
}

void CSQLiteConnection::Prepare(const std::wstring& statement, CSQLiteStatement& out, BoundTexts texts) {
    out.Prepare(m_connection, sqltext::StatementUtf8(statement));
    int index = 1;
    try {
        for (const std::string_view text : texts) out.BindText(index++, text);
    } catch (int) {
        out.Finalize();
        throw;
    }
}

void CSQLiteConnection::ExecBound(const std::wstring& statement, BoundTexts texts, int* result) {
    CSQLiteStatement prepared;
    Prepare(statement, prepared, texts);
    if (prepared.Step() && result != nullptr) *result = prepared.ColumnInt(0);
}

const wchar_t* CSQLiteConnection::TableName(int index) {
    return index >= 0 && index < kTableCount ? kTables[index].name : L"";
}

bool CSQLiteConnection::TableExists(const wchar_t* name) {
    const std::string bound = sqltext::BoundText(name ? name : L"");
    int count = 0;
    ExecBound(L"SELECT count(*) FROM sqlite_master WHERE type='table' AND name=?", {bound}, &count);
    return count > 0;
}

void CSQLiteConnection::CreateTable(const wchar_t* name) {
    if (name == nullptr) return;
    for (const TableDefinition& table : kTables) {
        if (std::wcscmp(name, table.name) != 0) continue;
        Exec(sqltext::Statement(table.create, table.name));
        if (std::wcscmp(table.name, kConfigTable) == 0)
            Exec(sqltext::Statement(L"INSERT INTO %s(version) VALUES(%d)", table.name, kLocalStorageSchemaVersion));
        return;
    }
}

int CSQLiteConnection::ReadSchemaVersion() {
    int version = -1;
    try {
        Exec(sqltext::Statement(L"SELECT version FROM %s", kConfigTable), &version);
    } catch (int code) {
        // A NULL or a text where our version number belongs: not ours.
        if (code != SQLITE_MISMATCH) throw;
        return -1;
    }
    return version;
}

int CSQLiteConnection::GetDatabaseVersion(const wchar_t* path) {
    try {
        CSQLiteConnection connection;
        connection.Open(path, OpenMode::ReadWrite);
        return connection.ReadSchemaVersion();
    } catch (int) {
        return -1;
    }
}

int CSQLiteConnection::CreateDatabase(const wchar_t* path) {
    try {
        CSQLiteConnection connection;
        connection.Open(path, OpenMode::ReadWrite);
        // Only an empty file, or one that a create of ours left half-made,
        // is ours to complete; anything else is left as it is.
        int tables = 0;
        connection.Exec(L"SELECT count(*) FROM sqlite_master WHERE type='table'", &tables);
        if (tables > 0 && (!connection.TableExists(kConfigTable) ||
                           connection.ReadSchemaVersion() != kLocalStorageSchemaVersion))
            return -1;
        for (const TableDefinition& table : kTables) {
            if (!connection.TableExists(table.name)) connection.CreateTable(table.name);
        }
        return 0;
    } catch (int) {
        return -1;
    }
}
