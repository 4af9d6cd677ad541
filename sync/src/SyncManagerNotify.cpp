#include <memory>

#include "BrelioServices/SessionError.h"
#include "BrelioSync/SyncItem.h"
#include "BrelioSync/SyncManager.h"

BOOL CSyncManager::PostItem(const wchar_t* path, bool isFolder, int kind) {
    if (m_notifyView == nullptr) return FALSE;
    auto item = std::make_unique<CSyncItem>(path, isFolder, kind);
    if (!m_notifyView->PostMessageW(WM_SYNCITEM, SYNCITEM_ITEM, reinterpret_cast<LPARAM>(item.get()))) return FALSE;
    item.release();  // the receiving window owns it now
    return TRUE;
}

BOOL CSyncManager::NotifyResult(const wchar_t* path, bool isFolder, HRESULT result) {
    if (IsSessionError(result))
        return m_host.PostToMainFrame(WM_SYNCITEM, SYNCITEM_SIGN_OUT, static_cast<LPARAM>(static_cast<uint32_t>(result)));
    return PostItem(path, isFolder, FAILED(result) ? SYNC_ITEM_FAILED : SYNC_ITEM_DONE);
}

BOOL CSyncManager::NotifyStatus(UINT stringId) {
    return PostItem(m_host.LoadText(stringId).c_str(), false, SYNC_ITEM_STATUS);
}
