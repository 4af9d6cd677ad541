#pragma once
#include <windows.h>

#include <string>

class CIgnoreList;

// Masks the local writes of one action from the change monitor: the paths
// go into the ignore list just before the write and come out a while after
// it, once the monitor has read the write's events. ReleaseAfter with a
// delay takes what the write left at each path, and the path is compared
// with it when it comes out (CIgnoreList::TakeReleasedWrites). Leaving the
// scope without ReleaseAfter (an action left early) takes them out at once.
class CIgnoreScope {
public:
    // The pause that lets the monitor read the events of a write.
    static constexpr DWORD kReleaseDelay = 400;

    CIgnoreScope(CIgnoreList& list, const wchar_t* syncRoot);
    ~CIgnoreScope();
    CIgnoreScope(const CIgnoreScope&) = delete;
    CIgnoreScope& operator=(const CIgnoreScope&) = delete;

    void Ignore(const wchar_t* fullPath);
    void IgnorePair(const wchar_t* oldFullPath, const wchar_t* newFullPath);
    int ReleaseAfter(DWORD milliseconds);
    bool IsArmed() const { return m_armed; }

private:
    void Release();

    CIgnoreList& m_list;
    const wchar_t* m_syncRoot;
    std::wstring m_first;  // relative to the root, as the list keeps it
    std::wstring m_firstFull;
    std::wstring m_second;
    std::wstring m_secondFull;
    bool m_armed = false;
    bool m_pair = false;
};
