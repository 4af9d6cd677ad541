#include "BrelioServices/SQLiteStatement.h"

#include <sqlite3.h>

#include "BrelioCore/TextConvert.h"
#include "BrelioServices/SQLiteText.h"

void CSQLiteStatement::Prepare(sqlite3* connection, const std::string& statement) {
    Finalize();
    sqltext::Check(sqlite3_prepare_v2(connection, statement.c_str(), -1, &m_statement, nullptr));
}

void CSQLiteStatement::BindText(int index, std::string_view text) {
    sqltext::Check(sqlite3_bind_text(m_statement, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT));
}

bool CSQLiteStatement::Step() {
    const int result = sqlite3_step(m_statement);
    sqltext::Check(result);
    return result != SQLITE_DONE;
}

int CSQLiteStatement::ColumnInt(int column) const { return sqlite3_column_int(m_statement, column); }

int64_t CSQLiteStatement::ColumnInt64(int column) const { return sqlite3_column_int64(m_statement, column); }

void CSQLiteStatement::ColumnText(int column, std::string& out, size_t maxBytes) const {
    out.clear();
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_statement, column));
    if (text == nullptr) return;
    const size_t length = static_cast<size_t>(sqlite3_column_bytes(m_statement, column));
    if (length > maxBytes) throw sqltext::kTooBig;
    out.assign(text, length);
}

void CSQLiteStatement::ColumnText(int column, std::wstring& out, size_t maxChars) const {
    std::string utf8;
    ColumnText(column, utf8, maxChars * 4);
    std::wstring wide = brelio::Utf8ToWide(utf8);
    if (wide.size() > maxChars) throw sqltext::kTooBig;
    out = std::move(wide);
}

void CSQLiteStatement::Finalize() {
    if (m_statement == nullptr) return;
    sqlite3_finalize(m_statement);
    m_statement = nullptr;
}
