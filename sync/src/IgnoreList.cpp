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
    m_paths.push_back(std::move(lowered));
}

void CIgnoreList::AddPair(const wchar_t* oldPath, const wchar_t* newPath) {
    std::wstring oldLowered = LowerPath(oldPath);
    std::wstring newLowered = LowerPath(newPath);
    CJXSRWLockGuard guard(m_lock, true);
    m_paths.push_back(std::move(oldLowered));
    m_paths.push_back(std::move(newLowered));
}

bool CIgnoreList::IsIgnored(const wchar_t* path) {
    const std::wstring lowered = LowerPath(path);
    CJXSRWLockGuard guard(m_lock, true);
    const auto matches = [&](const std::wstring& entry) { return Matches(entry, lowered); };
    if (std::find_if(m_paths.begin(), m_paths.end(), matches) == m_paths.end()) return false;
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

void CIgnoreList::RemoveLocked(const std::wstring& lowered) {
    const auto found = std::find(m_paths.begin(), m_paths.end(), lowered);
    if (found != m_paths.end()) m_paths.erase(found);
}
