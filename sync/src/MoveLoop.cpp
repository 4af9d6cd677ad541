// A folder moved here into a place that, once the drive's own moves are
// followed here, would lie inside the folder itself: the moves of the two
// sides form a loop (A moved into B here while B went into A on the drive,
// or the same through more folders). One outcome is picked: the drive's
// moves stand, and the move made here that closes the loop is undone, the
// folder going back to where the drive has it. The drive cannot move items,
// so undoing its moves instead would mean copying whole trees up anew and
// trashing the ones other computers hold.
#include "BrelioServices/DriveApi.h"
#include "BrelioServices/Log.h"
#include "BrelioSync/FileSyncThread.h"
#include "BrelioSync/LocalName.h"
#include "BrelioSync/RemoteLookups.h"
#include "BrelioSync/WalkPlan.h"

HRESULT CFileSyncThread::FindMoveLoop(uint64_t folderId, const wchar_t* fullPath, ChangeInfo& folderMeta, bool& loops) {
    loops = false;
    RequestStatus status;
    HRESULT hr = GetFileMeta(status, folderId, folderMeta);
    if (hr == API_E_ITEM_NOT_FOUND) return S_OK;
    if (FAILED(hr)) return hr;
    if (folderMeta.changeType == "deleted") return S_OK;
    const std::wstring folderName = RemotePathToRowName(folderMeta.file.path);
    // Every folder on the way from the new place up to the top counts: the
    // drive may have moved any of them into the folder.
    for (const std::wstring& above : FoldersAbove(fullPath, m_env.syncRoot.size())) {
        FileRecord row;
        // A folder made here has no place on the drive that could be inside.
        if (Storage().GetFile(above.c_str(), row) != S_OK || row.file_id == folderId) continue;
        ChangeInfo there;
        hr = GetFileMeta(status, row.file_id, there);
        if (hr == API_E_ITEM_NOT_FOUND) continue;
        if (FAILED(hr)) return hr;
        if (ClosesMoveLoop(there, folderName)) {
            loops = true;
            return S_OK;
        }
    }
    return S_OK;
}

HRESULT CFileSyncThread::UndoLoopingMove(const ChangeInfo& folderMeta, const wchar_t* fullPath) {
    Log(L"%s - the moves here and on the drive form a loop; the folder goes back to its place on the drive.", fullPath);
    FileRecord row;
    HRESULT hr = Storage().GetFile(folderMeta.file.id, row);
    if (hr != S_OK) return FAILED(hr) ? hr : S_OK;
    std::wstring place;
    hr = JoinRemoteRelativePath(m_env.syncRoot.c_str(), RemotePathToRowName(folderMeta.file.path), place);
    if (FAILED(hr)) return ReportSkipped(fullPath, true, hr, L"unusable remote path");
    return FollowRemoteMove(folderMeta.file, place.c_str(), row);
}
