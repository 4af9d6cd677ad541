// Removal of stale rows after a full sync.
#include <vector>

#include "BrelioServices/LocalStorage.h"
#include "BrelioServices/SQLiteText.h"

namespace {

constexpr uint64_t kTicksPerSecond = 10'000'000;
constexpr uint64_t kKeepSeconds = 30ull * 24 * 60 * 60;

uint64_t CutoffTime() {
    FILETIME now = {};
    ::GetSystemTimeAsFileTime(&now);
    const uint64_t ticks = (static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    return ticks / kTicksPerSecond * kTicksPerSecond - kKeepSeconds * kTicksPerSecond;
}

enum class ItemState { Present, Gone, Unknown };

// Only "not found" counts as gone: a path that cannot be looked at (too
// long, access denied) keeps its row.
ItemState StateOf(const std::wstring& root, const std::wstring& name, bool isFolder) {
    std::wstring path = root;
    if (!path.empty() && path.back() != L'\\') path += L'\\';
    path += name;
    if (path.size() >= MAX_PATH) return ItemState::Unknown;
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = ::GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? ItemState::Gone : ItemState::Unknown;
    }
    const bool isDirectory = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    return isDirectory == isFolder ? ItemState::Present : ItemState::Gone;
}

}  // namespace

HRESULT CLocalStorage::Cleanup() {
    const std::wstring root = m_rootFolder ? m_rootFolder : L"";
    const uint64_t cutoff = CutoffTime();
    return Run(L"Cleanup", OpenMode::ReadWrite, [&](CSQLiteConnection& db) {
        std::vector<uint64_t> gone;
        {
            CSQLiteStatement statement;
            db.Prepare(sqltext::Statement(L"SELECT file_id, name, is_folder FROM %s WHERE last_write_time < %llu",
                                          CSQLiteConnection::TableName(1), cutoff),
                       statement);
            std::wstring name;
            while (statement.Step()) {
                statement.ColumnText(1, name, sqltext::kMaxNameChars);
                if (StateOf(root, name, statement.ColumnInt(2) == 1) == ItemState::Gone)
                    gone.push_back(static_cast<uint64_t>(statement.ColumnInt64(0)));
            }
        }
        // Latest found first, as the rows were collected at the front.
        for (auto id = gone.rbegin(); id != gone.rend(); ++id) db.DeleteFile(*id);
        return S_OK;
    });
}
