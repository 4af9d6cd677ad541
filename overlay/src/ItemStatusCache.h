#pragma once
#include <windows.h>

#include <map>
#include <string>
#include <string_view>

#include "BrelioCore/JXSRWLock.h"
#include "BrelioServices/DatabaseStamp.h"

class CSQLiteConnection;

// One state of one database, as the shell extension names it: its path,
// the settings generation, and the stamp of the file.
struct DatabaseState {
    std::wstring path;
    LONG generation = 0;
    DatabaseStamp stamp;
    bool operator==(const DatabaseState&) const = default;
};

// The highest status of items of the sync folder (see OverlayRule.cpp),
// kept for one state of the database: Explorer asks each item three times
// (once per overlay) and again on every repaint, and a folder's answer
// covers every row beneath it. The statuses beneath every folder come from
// one pass over the file table, made on the first question about a folder
// in each state; a new state (a write of the program, another file, path
// or generation) starts afresh.
class CItemStatusCache {
public:
    CItemStatusCache() = default;
    CItemStatusCache(const CItemStatusCache&) = delete;
    CItemStatusCache& operator=(const CItemStatusCache&) = delete;

    // The item's highest status, 0 for an item without a row. The caller
    // holds the storage mutex and stamped the file under it. A database
    // that cannot be read gives 0, and is read again at the next question.
    int HighestStatus(const DatabaseState& state, std::wstring_view relativeName);

private:
    int ReadHighestStatus(const DatabaseState& state, std::wstring_view relativeName, const std::string& key);
    int StatusBeneath(CSQLiteConnection& db, std::wstring_view folder, const std::string& key);
    bool ReadStatusesBeneathFolders(CSQLiteConnection& db);
    bool PassOverRows(CSQLiteConnection& db);

    CJXSRWLock m_lock;
    DatabaseState m_state;
    // By name as SQLite compares names (UTF-8, ASCII letters folded).
    std::map<std::string, int, std::less<>> m_items;
    std::map<std::string, int, std::less<>> m_beneathFolders;
    enum class FolderPass { NotMade, Made, TooManyFolders } m_folderPass = FolderPass::NotMade;
};
