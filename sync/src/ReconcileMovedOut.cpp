// A folder deleted here out of which the drive moved items meanwhile: those
// items are no part of the deletion. They are settled at their new place
// first, each against its own row, before the folder's rows go with it.
#include <algorithm>
#include <set>

#include "BrelioSync/FileSyncThread.h"
#include "BrelioSync/LocalName.h"
#include "BrelioSync/RemoteLookups.h"

HRESULT CFileSyncThread::SettleMovesOutOf(const std::wstring& folderName, const std::wstring& remoteFolderName,
                                          PassContext& pass) {
    if (pass.remoteChanges == nullptr) return S_OK;
    ChangeInfoList& remoteChanges = *pass.remoteChanges;
    std::vector<uint64_t> movedOut;
    for (const ChangeInfo& change : remoteChanges) {
        if (change.changeType != "updated" || IsSameOrBelow(RemotePathToRowName(change.file.path), remoteFolderName))
            continue;
        FileRecord row;
        if (Storage().GetFile(change.file.id, row) == S_OK && row.name.size() > folderName.size() &&
            IsSameOrBelow(row.name, folderName))
            movedOut.push_back(change.file.id);
    }
    HRESULT result = S_OK;
    std::set<uint64_t> settled;
    for (const uint64_t id : movedOut) {
        const auto change = std::find_if(remoteChanges.begin(), remoteChanges.end(),
                                         [&](const ChangeInfo& c) { return c.file.id == id; });
        if (change == remoteChanges.end()) continue;
        std::wstring fullPath;
        if (FAILED(JoinRemoteRelativePath(m_env.syncRoot.c_str(), RemotePathToRowName(change->file.path), fullPath)))
            continue;  // the remote phase reports it
        const ChangeInfo moved = *change;
        const HRESULT hr = ActOnRemoteChange(ClassifyRemoteChange(fullPath, moved), moved, fullPath, pass);
        // A move that waits for its folder goes with the remote phase.
        if (hr == HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND)) continue;
        if (FAILED(hr)) result = hr;
        settled.insert(id);
    }
    // Carried out here, failed or not: a failure leaves the folder's rows,
    // and with them this change's item, for the next pass.
    std::erase_if(remoteChanges, [&](const ChangeInfo& c) { return settled.count(c.file.id) != 0; });
    return result;
}
