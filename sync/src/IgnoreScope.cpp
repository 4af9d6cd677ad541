#include "BrelioSync/IgnoreScope.h"

#include "BrelioServices/RelativePath.h"
#include "BrelioSync/IgnoreList.h"

namespace {

// What the write left at the path, for the comparison once the path is no
// longer masked. A pattern names no one item, and a path that cannot be
// examined gives nothing to compare with.
std::optional<WrittenItem> WrittenAt(const std::wstring& fullPath) {
    if (fullPath.find(L'*') != std::wstring::npos) return std::nullopt;
    WrittenItem item{fullPath, {}};
    if (!ReadItemState(fullPath.c_str(), item.state)) return std::nullopt;
    return item;
}

}  // namespace

CIgnoreScope::CIgnoreScope(CIgnoreList& list, const wchar_t* syncRoot) : m_list(list), m_syncRoot(syncRoot) {}

CIgnoreScope::~CIgnoreScope() {
    if (m_armed) Release();
}

void CIgnoreScope::Ignore(const wchar_t* fullPath) {
    if (m_armed) Release();
    m_first = GetRelativePath(fullPath, m_syncRoot);
    m_firstFull = fullPath;
    m_second.clear();
    m_secondFull.clear();
    m_pair = false;
    m_list.Add(m_first.c_str());
    m_armed = true;
}

void CIgnoreScope::IgnorePair(const wchar_t* oldFullPath, const wchar_t* newFullPath) {
    if (m_armed) Release();
    m_first = GetRelativePath(oldFullPath, m_syncRoot);
    m_firstFull = oldFullPath;
    m_second = GetRelativePath(newFullPath, m_syncRoot);
    m_secondFull = newFullPath;
    m_pair = true;
    m_list.AddPair(m_first.c_str(), m_second.c_str());
    m_armed = true;
}

int CIgnoreScope::ReleaseAfter(DWORD milliseconds) {
    if (!m_armed) return 0;
    if (milliseconds == 0) {
        Release();
        return 0;
    }
    // The paths stay masked for the time given, but the sync thread goes
    // on with its next item meanwhile. The write has ended here: what it
    // left is taken now, so that a local edit made while the path is still
    // masked is told apart from the write once the mask is gone.
    if (m_pair)
        m_list.RemovePairAfter(m_first.c_str(), m_second.c_str(), milliseconds, WrittenAt(m_firstFull),
                               WrittenAt(m_secondFull));
    else
        m_list.RemoveAfter(m_first.c_str(), milliseconds, WrittenAt(m_firstFull));
    m_armed = false;
    return 0;
}

void CIgnoreScope::Release() {
    if (m_pair)
        m_list.RemovePair(m_first.c_str(), m_second.c_str());
    else
        m_list.Remove(m_first.c_str());
    m_armed = false;
}
