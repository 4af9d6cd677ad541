#include "BrelioSync/IgnoreList.h"

#include <windows.h>

#include <algorithm>

#include "BrelioServices/Log.h"

std::wstring LowerPath(const wchar_t* path) {
    std::wstring lowered = path != nullptr ? path : L"";
    if (!lowered.empty()) ::CharLowerBuffW(lowered.data(), static_cast<DWORD>(lowered.size()));
    return lowered;
}

void CIgnoreList::Add(const wchar_t* path) {
    std::wstring lowered = LowerPath(path);
    CJXSRWLockGuard guard(m_lock, true);
    PruneLocked();
    m_entries.push_back({std::move(lowered), 0, std::nullopt});
}

void CIgnoreList::AddPair(const wchar_t* oldPath, const wchar_t* newPath) {
    std::wstring oldLowered = LowerPath(oldPath);
    std::wstring newLowered = LowerPath(newPath);
    CJXSRWLockGuard guard(m_lock, true);
    PruneLocked();
    m_entries.push_back({std::move(oldLowered), 0, std::nullopt});
    m_entries.push_back({std::move(newLowered), 0, std::nullopt});
}

bool CIgnoreList::IsIgnored(const wchar_t* path) {
    const std::wstring lowered = LowerPath(path);
    CJXSRWLockGuard guard(m_lock, true);
    PruneLocked();
    if (!IsMaskedLocked(lowered)) return false;
    Log(L"%s was ignored.", lowered.c_str());
    return true;
}

void CIgnoreList::Remove(const wchar_t* path) {
    const std::wstring lowered = LowerPath(path);
    CJXSRWLockGuard guard(m_lock, true);
    RemoveLocked(lowered);
}

void CIgnoreList::RemovePair(const wchar_t* oldPath, const wchar_t* newPath) {
    const std::wstring oldLowered = LowerPath(oldPath);
    const std::wstring newLowered = LowerPath(newPath);
    CJXSRWLockGuard guard(m_lock, true);
    RemoveLocked(oldLowered);
    RemoveLocked(newLowered);
}

bool CIgnoreList::Matches(const std::wstring& entry, const std::wstring& lowered) {
    const size_t star = entry.find(L'*');
    if (star == std::wstring::npos) return entry == lowered;
    const size_t suffix = entry.size() - star - 1;
    if (lowered.size() < star + suffix) return false;
    if (lowered.compare(0, star, entry, 0, star) != 0) return false;
    if (lowered.compare(lowered.size() - suffix, suffix, entry, star + 1, suffix) != 0) return false;
    // The wildcard stays inside one folder.
    return lowered.find(L'\\', star) >= lowered.size() - suffix;
}

bool CIgnoreList::IsMaskedLocked(const std::wstring& lowered) const {
    return std::any_of(m_entries.begin(), m_entries.end(),
                       [&](const Entry& entry) { return Matches(entry.path, lowered); });
}

void CIgnoreList::RemoveAfter(const wchar_t* path, DWORD milliseconds, std::optional<WrittenItem> written) {
    const std::wstring lowered = LowerPath(path);
    const ULONGLONG expiry = ::GetTickCount64() + milliseconds;
    CJXSRWLockGuard guard(m_lock, true);
    ExpireLocked(lowered, expiry, std::move(written));
}

void CIgnoreList::RemovePairAfter(const wchar_t* oldPath, const wchar_t* newPath, DWORD milliseconds,
                                  std::optional<WrittenItem> oldWritten, std::optional<WrittenItem> newWritten) {
    const std::wstring oldLowered = LowerPath(oldPath);
    const std::wstring newLowered = LowerPath(newPath);
    const ULONGLONG expiry = ::GetTickCount64() + milliseconds;
    CJXSRWLockGuard guard(m_lock, true);
    ExpireLocked(oldLowered, expiry, std::move(oldWritten));
    ExpireLocked(newLowered, expiry, std::move(newWritten));
}

std::vector<ReleasedWrite> CIgnoreList::TakeReleasedWrites() {
    std::vector<ReleasedWrite> released;
    // The paths are read under the lock: a write the sync thread starts on
    // one of them meanwhile waits in Add, so it is never compared half-done.
    CJXSRWLockGuard guard(m_lock, true);
    PruneLocked();
    for (const Entry& entry : m_released) {
        if (IsMaskedLocked(entry.path)) continue;
        ItemState now;
        if (!ReadItemState(entry.written->fullPath.c_str(), now)) continue;
        released.push_back({entry.written->fullPath, entry.written->state, now});
    }
    m_released.clear();
    return released;
}

DWORD CIgnoreList::TimeToNextRelease() {
    CJXSRWLockGuard guard(m_lock, true);
    PruneLocked();
    if (!m_released.empty()) return 0;
    const ULONGLONG now = ::GetTickCount64();
    DWORD next = INFINITE;
    for (const Entry& entry : m_entries) {
        if (entry.expiry == 0 || !entry.written) continue;
        // Pruned above: every expiry left is still ahead.
        const ULONGLONG left = entry.expiry - now;
        if (left < next) next = static_cast<DWORD>(left);
    }
    return next;
}

// One entry per Add: a held entry goes before one already on its way out.
void CIgnoreList::RemoveLocked(const std::wstring& lowered) {
    const auto held = std::find_if(m_entries.begin(), m_entries.end(),
                                   [&](const Entry& e) { return e.expiry == 0 && e.path == lowered; });
    if (held != m_entries.end()) {
        m_entries.erase(held);
        return;
    }
    const auto any = std::find_if(m_entries.begin(), m_entries.end(), [&](const Entry& e) { return e.path == lowered; });
    if (any != m_entries.end()) m_entries.erase(any);
}

void CIgnoreList::ExpireLocked(const std::wstring& lowered, ULONGLONG expiry, std::optional<WrittenItem> written) {
    const auto held = std::find_if(m_entries.begin(), m_entries.end(),
                                   [&](const Entry& e) { return e.expiry == 0 && e.path == lowered; });
    if (held == m_entries.end()) return;
    held->expiry = expiry;
    held->written = std::move(written);
    if (held->written) m_releaseScheduled.SetEvent();
}

void CIgnoreList::PruneLocked() {
    const ULONGLONG now = ::GetTickCount64();
    const auto expired = [&](const Entry& e) { return e.expiry != 0 && e.expiry <= now; };
    for (Entry& entry : m_entries)
        if (expired(entry) && entry.written) KeepReleasedLocked(entry);
    std::erase_if(m_entries, expired);
}

void CIgnoreList::KeepReleasedLocked(const Entry& entry) {
    // The later write of a path is the one its content is compared with.
    std::erase_if(m_released, [&](const Entry& e) { return e.path == entry.path; });
    if (m_released.size() >= kMaxReleased) m_released.erase(m_released.begin());
    m_released.push_back(entry);
}
