#include "ItemStatusCache.h"

#include <algorithm>

#include "BrelioServices/SQLiteConnection.h"
#include "BrelioServices/SQLiteText.h"
#include "BrelioServices/StorageRecords.h"

namespace {

// Beyond these, what is kept would cost Explorer more memory than the
// reads it saves: items are then forgotten, and folders are asked one by
// one.
constexpr size_t kMostItems = 20000;
constexpr size_t kMostFolders = 65536;

// A name as the file table compares it (COLLATE NOCASE): ASCII letters in
// one case, every other character as it is.
void FoldAscii(std::string& name) {
    for (char& c : name) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
}

}  // namespace

int CItemStatusCache::HighestStatus(const DatabaseState& state, std::wstring_view relativeName) {
    std::string key;
    try {
        key = sqltext::BoundName(relativeName);
    } catch (int) {
        return 0;  // longer than any row's name
    }
    FoldAscii(key);
    CJXSRWLockGuard lock(m_lock, true);
    if (!(state == m_state)) {
        m_state = state;
        m_items.clear();
        m_beneathFolders.clear();
        m_folderPass = FolderPass::NotMade;
    }
    if (const auto known = m_items.find(key); known != m_items.end()) return known->second;
    return ReadHighestStatus(state, relativeName, key);
}

int CItemStatusCache::ReadHighestStatus(const DatabaseState& state, std::wstring_view relativeName,
                                        const std::string& key) {
    int status = 0;
    try {
        CSQLiteConnection db;
        db.OpenCurrent(state.path.c_str(), OpenMode::ReadOnly);
        FileRecord row;
        if (db.GetFile(relativeName, row)) {
            status = row.status;
            if (row.is_folder) status = std::max(status, StatusBeneath(db, relativeName, key));
        }
    } catch (int) {
        // No database yet, another schema, a locked file: no overlay, and
        // nothing kept.
        return 0;
    }
    if (m_items.size() >= kMostItems) m_items.clear();
    m_items.emplace(key, status);
    return status;
}

int CItemStatusCache::StatusBeneath(CSQLiteConnection& db, std::wstring_view folder, const std::string& key) {
    if (m_folderPass == FolderPass::NotMade)
        m_folderPass = ReadStatusesBeneathFolders(db) ? FolderPass::Made : FolderPass::TooManyFolders;
    if (m_folderPass == FolderPass::TooManyFolders) return db.GetFolderStatus(folder);
    const auto beneath = m_beneathFolders.find(key);
    return beneath == m_beneathFolders.end() ? 0 : beneath->second;
}

// One pass over the rows: each row's status raises that of every folder
// above it. False (and nothing kept) for a table with too many folders, or
// one that cannot be read whole.
bool CItemStatusCache::ReadStatusesBeneathFolders(CSQLiteConnection& db) {
    m_beneathFolders.clear();
    try {
        return PassOverRows(db);
    } catch (int) {
        m_beneathFolders.clear();
        return false;
    }
}

bool CItemStatusCache::PassOverRows(CSQLiteConnection& db) {
    CSQLiteStatement rows;
    db.Prepare(sqltext::Statement(L"SELECT name, status FROM %s WHERE status <> 0", CSQLiteConnection::TableName(1)),
               rows);
    std::string name;
    while (rows.Step()) {
        rows.ColumnText(0, name, sqltext::kMaxBoundBytes);
        FoldAscii(name);
        const int status = rows.ColumnInt(1);
        for (size_t end = name.find('\\'); end != std::string::npos; end = name.find('\\', end + 1)) {
            const std::string_view folder(name.data(), end);
            auto above = m_beneathFolders.find(folder);
            if (above == m_beneathFolders.end()) {
                if (m_beneathFolders.size() >= kMostFolders) {
                    m_beneathFolders.clear();
                    return false;
                }
                above = m_beneathFolders.emplace(std::string(folder), status).first;
            }
            above->second = std::max(above->second, status);
        }
    }
    return true;
}
