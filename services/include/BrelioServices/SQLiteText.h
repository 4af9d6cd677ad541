#pragma once
#include <optional>
#include <string>
#include <string_view>

// Texts on their way into and out of the local database. Every SQLite
// failure, and every text that does not fit, is thrown as a plain int
// (a SQLite result code) and caught by the storage operation.
namespace sqltext {

// Row names are at most 260 characters (the system path limit).
constexpr size_t kMaxNameChars = 260;
constexpr size_t kMaxBoundBytes = 1023;
constexpr size_t kMaxStatementBytes = 4095;
constexpr size_t kMaxHashBytes = 255;

// SQLITE_TOOBIG: a text over its limit is refused, never cut, because a
// cut name would name another item.
constexpr int kTooBig = 18;
// SQLITE_FORMAT, which SQLite itself no longer returns: the file is a
// database, but not one of our schema version.
constexpr int kSchemaMismatch = 24;

// Throws the result unless it is SQLITE_OK, SQLITE_ROW or SQLITE_DONE.
void Check(int result);

// A wide printf statement text (table names through %s, numbers); names,
// patterns and hashes are never formatted in, they are bound.
std::wstring Statement(const wchar_t* format, ...);
std::string StatementUtf8(std::wstring_view statement);

// Without its trailing backslashes: Docs\ and Docs\\ name the row Docs.
std::wstring_view StripTrailingBackslashes(std::wstring_view name);
// A row name to bind, stripped.
std::string BoundName(std::wstring_view name);
// A text to bind as it is (a rename target already in row form).
std::string BoundText(std::wstring_view text);
std::string BoundHash(std::string_view hash);
std::string PathUtf8(std::wstring_view path);

// The condition and pattern that select the rows under a folder: names that
// begin with the folder's name and a backslash, ASCII case ignored. "_" and
// "%" in the folder's name match only themselves.
constexpr wchar_t kUnderFolder[] = L"name LIKE ? ESCAPE '|'";
std::string UnderFolderPattern(std::wstring_view folder);

// The name without its last component (Docs\Plan\a.txt gives Docs\Plan);
// none for a name directly in the sync folder.
std::optional<std::wstring> ParentName(std::wstring_view name);

}  // namespace sqltext
