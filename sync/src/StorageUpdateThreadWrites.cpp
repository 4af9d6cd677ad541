// The paths the sync thread wrote, once they are no longer masked: local
// edits made while the write masked them, and late events of the write.
#include <algorithm>

#include "BrelioServices/Log.h"
#include "BrelioServices/RelativePath.h"
#include "BrelioSync/IgnoreList.h"
#include "BrelioSync/StorageUpdateThread.h"

namespace {

// How long after a written path's release an event for it is taken for an
// echo when the item still stands as it was then: on a busy machine the
// monitor reads events well after the mask has gone.
constexpr ULONGLONG kEchoWindow = 10000;
// How long what a comparison found waits for the monitor's own events of
// the item: longer than the monitor holds changes whose item is gone, so
// that the events of a move made just as the mask ended come first.
constexpr ULONGLONG kFindingHold = 1500;

}  // namespace

void CStorageUpdateThread::TakeReleasedWrites() {
    if (m_ignoreList == nullptr) return;
    const ULONGLONG tick = ::GetTickCount64();
    const auto found = [&](const std::wstring& path, int action, bool isFolder) {
        auto change = std::make_unique<CFileChange>();
        change->path = path;
        change->action = action;
        change->isFolder = isFolder;
        ::GetSystemTimeAsFileTime(&change->time);
        m_findings.push_back({std::move(change), tick + kFindingHold});
    };
    for (const ReleasedWrite& write : m_ignoreList->TakeReleasedWrites()) {
        m_settledWrites[LowerPath(write.fullPath.c_str())] = {write.now, tick + kEchoWindow};
        if (write.now.SameAs(write.written)) continue;
        Log(L"%s - changed while the sync's own write masked it.", write.fullPath.c_str());
        const bool replaced = write.written.exists && write.now.exists && write.written.isFolder != write.now.isFolder;
        // A gone item's folder flag is false, as the monitor reads it.
        if (write.written.exists && (!write.now.exists || replaced)) found(write.fullPath, FILE_CHANGE_REMOVED, false);
        if (!write.now.exists) continue;
        if (!write.written.exists || replaced)
            found(write.fullPath, FILE_CHANGE_ADDED, write.now.isFolder);
        else
            found(write.fullPath, FILE_CHANGE_MODIFIED, false);
    }
}

bool CStorageUpdateThread::IsEchoOfWrite(const CFileChange& change) {
    if (m_settledWrites.empty()) return false;
    const ULONGLONG tick = ::GetTickCount64();
    std::erase_if(m_settledWrites, [&](const auto& settled) { return settled.second.until <= tick; });
    if (change.action != FILE_CHANGE_ADDED && change.action != FILE_CHANGE_REMOVED &&
        change.action != FILE_CHANGE_MODIFIED)
        return false;
    const auto settled = m_settledWrites.find(LowerPath(change.path.c_str()));
    if (settled == m_settledWrites.end()) return false;
    ItemState now;
    if (!ReadItemState(change.path.c_str(), now) || !now.SameAs(settled->second.state)) return false;
    Log(L"%s - stands as it did when its write was compared, dropped.", change.path.c_str());
    return true;
}

void CStorageUpdateThread::DropFindingsCoveredBy(CFileChange& change) {
    std::erase_if(m_findings, [&](const Finding& finding) {
        const CFileChange& found = *finding.change;
        const wchar_t* path = found.path.c_str();
        const wchar_t* rest = GetRelativePath(path, change.path.c_str());
        if (rest == path) return false;
        // The program that made the item again was still writing it when
        // the mask ended: the monitor reports only the write, of an item
        // the drive does not have there.
        if (*rest == L'\0' && found.action == FILE_CHANGE_ADDED && change.action == FILE_CHANGE_MODIFIED) {
            change.action = FILE_CHANGE_ADDED;
            change.isFolder = found.isFolder;
        }
        Log(L"%s - told by the monitor's own events, not by its comparison.", path);
        return true;
    });
}

DWORD CStorageUpdateThread::TimeToNextFinding() const {
    const ULONGLONG tick = ::GetTickCount64();
    DWORD next = INFINITE;
    for (const Finding& finding : m_findings) {
        if (finding.due <= tick) return 0;
        next = std::min(next, static_cast<DWORD>(finding.due - tick));
    }
    return next;
}
