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
    m_entries.push_back({std::move(lowered), 0});
}

void CIgnoreList::AddPair(const wchar_t* oldPath, const wchar_t* newPath) {
    std::wstring oldLowered = LowerPath(oldPath);
    std::wstring newLowered = LowerPath(newPath);
    CJXSRWLockGuard guard(m_lock, true);
    PruneLocked();
    m_entries.push_back({std::move(oldLowered), 0});
    m_entries.push_back({std::move(newLowered), 0});
}

bool CIgnoreList::IsIgnored(const wchar_t* path) {
    const std::wstring lowered = LowerPath(path);
    CJXSRWLockGuard guard(m_lock, true);
    PruneLocked();
    const auto matches = [&](const Entry& entry) { return Matches(entry.path, lowered); };
    if (std::find_if(m_entries.begin(), m_entries.end(), matches) == m_entries.end()) return false;
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

void CIgnoreList::RemoveAfter(const wchar_t* path, DWORD milliseconds) {
    const std::wstring lowered = LowerPath(path);
    const ULONGLONG expiry = ::GetTickCount64() + milliseconds;
    CJXSRWLockGuard guard(m_lock, true);
    ExpireLocked(lowered, expiry);
}

void CIgnoreList::RemovePairAfter(const wchar_t* oldPath, const wchar_t* newPath, DWORD milliseconds) {
    const std::wstring oldLowered = LowerPath(oldPath);
    const std::wstring newLowered = LowerPath(newPath);
    const ULONGLONG expiry = ::GetTickCount64() + milliseconds;
    CJXSRWLockGuard guard(m_lock, true);
    ExpireLocked(oldLowered, expiry);
    ExpireLocked(newLowered, expiry);
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

void CIgnoreList::ExpireLocked(const std::wstring& lowered, ULONGLONG expiry) {
    const auto held = std::find_if(m_entries.begin(), m_entries.end(),
                                   [&](const Entry& e) { return e.expiry == 0 && e.path == lowered; });
    if (held != m_entries.end()) held->expiry = expiry;
}

void CIgnoreList::PruneLocked() {
    const ULONGLONG now = ::GetTickCount64();
    std::erase_if(m_entries, [&](const Entry& e) { return e.expiry != 0 && e.expiry <= now; });
}
