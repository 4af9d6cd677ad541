#include "BrelioServices/SyncFolderList.h"

#include <shlwapi.h>

#include <cwchar>

#include "BrelioServices/RegistryKey.h"

class CSyncFolderList::Guard {
public:
    explicit Guard(CRITICAL_SECTION& lock) : m_lock(lock) { ::EnterCriticalSection(&m_lock); }
    ~Guard() { ::LeaveCriticalSection(&m_lock); }
    Guard(const Guard&) = delete;
    Guard& operator=(const Guard&) = delete;

private:
    CRITICAL_SECTION& m_lock;
};

CSyncFolderList::CSyncFolderList() {
    if (!::InitializeCriticalSectionEx(&m_lock, 0, 0)) throw HRESULT_FROM_WIN32(::GetLastError());
}

CSyncFolderList::~CSyncFolderList() {
    m_entries.clear();
    ::DeleteCriticalSection(&m_lock);
}

void CSyncFolderList::Add(const wchar_t* path, uint64_t folderId) {
    Guard guard(m_lock);
    m_entries.push_back({path ? path : L"", folderId});
}

std::vector<SyncFolderEntry> CSyncFolderList::GetEntries() const {
    Guard guard(m_lock);
    return m_entries;
}

bool CSyncFolderList::IsDifferent(const CSyncFolderList& other) const {
    const std::vector<SyncFolderEntry> theirs = other.GetEntries();
    Guard guard(m_lock);
    if (m_entries.size() != theirs.size()) return true;
    for (size_t i = 0; i < m_entries.size(); ++i) {
        if (_wcsicmp(m_entries[i].path.c_str(), theirs[i].path.c_str()) != 0) return true;
    }
    return false;
}

bool CSyncFolderList::ContainsPathPrefix(const wchar_t* path) const {
    if (path == nullptr) return false;
    Guard guard(m_lock);
    for (const SyncFolderEntry& entry : m_entries) {
        if (::PathIsPrefixW(entry.path.c_str(), path)) return true;
    }
    return false;
}

bool CSyncFolderList::Contains(const wchar_t* path) const {
    if (path == nullptr) return false;
    Guard guard(m_lock);
    for (const SyncFolderEntry& entry : m_entries) {
        if (_wcsicmp(entry.path.c_str(), path) == 0) return true;
    }
    return false;
}

void CSyncFolderList::CopyFrom(const CSyncFolderList& other, bool append) {
    // Copied first: also right when `other` is this list.
    std::vector<SyncFolderEntry> copy = other.GetEntries();
    Guard guard(m_lock);
    if (!append) m_entries.clear();
    m_entries.insert(m_entries.end(), copy.begin(), copy.end());
}

bool CSyncFolderList::IsEmpty() const {
    Guard guard(m_lock);
    return m_entries.empty();
}

void CSyncFolderList::Clear() {
    Guard guard(m_lock);
    m_entries.clear();
}

HRESULT CSyncFolderList::LoadFromKey(HKEY key) {
    DWORD count = 0;
    const LSTATUS queried =
        ::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, nullptr, nullptr,
                           nullptr, nullptr);
    if (queried != ERROR_SUCCESS) return HRESULT_FROM_WIN32(queried);

    std::vector<SyncFolderEntry> loaded;
    HRESULT result = S_OK;
    for (DWORD index = 0; index < count; ++index) {
        wchar_t name[MAX_PATH + 1] = L"";
        DWORD nameLength = MAX_PATH + 1;
        uint64_t id = 0;
        DWORD type = REG_NONE;
        DWORD bytes = sizeof(id);
        const LSTATUS status = ::RegEnumValueW(key, index, name, &nameLength, nullptr, &type,
                                               reinterpret_cast<BYTE*>(&id), &bytes);
        // Fewer values than counted: another writer got in between.
        if (status == ERROR_NO_MORE_ITEMS) break;
        // A name or data too long for what the system writes, or another
        // type: a hand-made value that names no usable folder.
        if (status != ERROR_SUCCESS || type != REG_QWORD || bytes != sizeof(id)) {
            result = HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
            continue;
        }
        loaded.push_back({std::wstring(name, nameLength), id});
    }

    Guard guard(m_lock);
    m_entries = std::move(loaded);
    return result;
}

HRESULT CSyncFolderList::SaveToKey(HKEY key) const {
    const std::vector<SyncFolderEntry> entries = GetEntries();
    HRESULT result = S_OK;
    for (const SyncFolderEntry& entry : entries) {
        const LSTATUS status = brelio::WriteRegistryQword(key, entry.path.c_str(), entry.folderId);
        if (status != ERROR_SUCCESS && SUCCEEDED(result)) result = HRESULT_FROM_WIN32(status);
    }
    return result;
}
