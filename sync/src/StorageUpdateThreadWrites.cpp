// Local edits made while the sync thread's own write masked their path.
#include "BrelioServices/Log.h"
#include "BrelioSync/IgnoreList.h"
#include "BrelioSync/StorageUpdateThread.h"

void CStorageUpdateThread::TakeChangedWrites() {
    if (m_ignoreList == nullptr) return;
    const auto found = [&](const std::wstring& path, int action, bool isFolder) {
        auto change = std::make_unique<CFileChange>();
        change->path = path;
        change->action = action;
        change->isFolder = isFolder;
        ::GetSystemTimeAsFileTime(&change->time);
        m_foundChanges.push_back(std::move(change));
    };
    for (const ChangedWrite& write : m_ignoreList->TakeChangedWrites()) {
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
