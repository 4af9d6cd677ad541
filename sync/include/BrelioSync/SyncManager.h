#pragma once
#include <windows.h>

#include "BrelioCore/JXView.h"
#include "BrelioSync/IgnoreList.h"

// The engine's channel to the user interface and the owner of what its
// threads share. Notifications are posted: nothing here waits on a window.
class CSyncManager {
public:
    CSyncManager() = default;
    CSyncManager(const CSyncManager&) = delete;
    CSyncManager& operator=(const CSyncManager&) = delete;

    // Set on the UI thread before the workers start; read only after.
    void SetNotifyView(CJXView* view) { m_notifyView = view; }
    CIgnoreList& GetIgnoreList() { return m_ignoreList; }

    // Posts a new item to the notification view. When the post fails the
    // item is freed here: it never reached an owner.
    BOOL PostItem(const wchar_t* path, bool isFolder, int kind);
    // A session error becomes the sign-out request to the main frame and
    // no item; any other result a done or failed item.
    BOOL NotifyResult(const wchar_t* path, bool isFolder, HRESULT result);
    BOOL NotifyStatus(UINT stringId);

private:
    CJXView* m_notifyView = nullptr;
    CIgnoreList m_ignoreList;
};
