#pragma once
#include <cstdint>
#include <string_view>

class CSQLiteConnection;

// The rows one local change writes into the local database. Every SQLite
// failure is thrown as an int, as the connection throws it.

// Added (1), removed (2) or modified (3). A modification also marks the
// item's row as changed.
void RecordChange(CSQLiteConnection& db, std::wstring_view name, bool isFolder, int32_t action);

// A rename within the sync folder: the item's row (and the rows beneath a
// folder) takes the new name, and a rename change is recorded. When the
// new name still has a row of its own (a replacing move, or a rotation
// where the old item at that name was deleted first), that item is gone:
// its removal is recorded, unless it already is, and its row dropped. An
// item without a row that replaces one with a row is new content for it.
// The item is a folder when the monitor says so, or when its row or rows
// beneath its old name do: a folder always takes its subtree's rows along.
void RecordRename(CSQLiteConnection& db, std::wstring_view oldName, std::wstring_view newName, bool reportedFolder);
