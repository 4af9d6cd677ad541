#pragma once
#include <cstdint>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

// Owner of one prepared statement; finalizes it on every exit. SQLite
// failures are thrown as plain ints.
class CSQLiteStatement {
public:
    CSQLiteStatement() = default;
    ~CSQLiteStatement() { Finalize(); }
    CSQLiteStatement(const CSQLiteStatement&) = delete;
    CSQLiteStatement& operator=(const CSQLiteStatement&) = delete;

    // Prepares a UTF-8 statement on the connection, replacing any held one.
    void Prepare(sqlite3* connection, const std::string& statement);
    // Binds a UTF-8 text to the "?" numbered from 1; SQLite keeps a copy.
    void BindText(int index, std::string_view text);

    // True on a row, false when done.
    bool Step();
    // NULL reads as 0.
    int ColumnInt(int column) const;
    int64_t ColumnInt64(int column) const;
    // NULL reads as an empty text. A text longer than the limit is refused
    // (thrown as SQLITE_TOOBIG): a cut name or hash would be another one.
    void ColumnText(int column, std::string& out, size_t maxBytes) const;
    void ColumnText(int column, std::wstring& out, size_t maxChars) const;

    void Finalize();

private:
    sqlite3_stmt* m_statement = nullptr;
};
