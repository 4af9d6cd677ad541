#pragma once
#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <string>

#include "BrelioApp/OptionsProgram.h"
#include "BrelioCore/UniqueHandle.h"
#include "BrelioServices/SyncFolderList.h"

// The check-box tree of the remote-folder picker: the drive's folders,
// loaded a level ahead of what is shown, ticked where the target selection
// covers them, and written back into the selection on request.
//
// A tick is followed into the item's loaded subtree. The tree view reports
// ticks with TVN_ITEMCHANGED on Windows but not under Wine, so each item
// also remembers the tick it was last seen with, and a click on a check box
// or the Space key asks the owner to post kReconcileChecks: every item
// whose tick differs from the remembered one is then followed. On Windows
// the notification has already done it by then and nothing happens twice.
class CRemoteFolderTree {
public:
    // Posted by the owner to itself, answered with ReconcileChecks.
    static constexpr UINT kReconcileChecks = WM_APP + 21;

    explicit CRemoteFolderTree(IOptionsProgram& program) : m_program(program) {}
    CRemoteFolderTree(const CRemoteFolderTree&) = delete;
    CRemoteFolderTree& operator=(const CRemoteFolderTree&) = delete;

    void Init(HWND tree, CSyncFolderList* target);
    // Inserts the folders below `parentId` under `parent` and, while depth
    // is below 2, their folders too. False only for a session error on the
    // drive's root (message 8006 shown); another failure leaves the level
    // empty.
    bool LoadFolders(HTREEITEM parent, uint64_t parentId, int depth);
    HTREEITEM InsertFolder(const std::wstring& name, uint64_t folderId, HTREEITEM parent);
    // "A\B\C": the item's path from the drive's root, ending in `name`.
    std::wstring GetItemPath(HTREEITEM item, const std::wstring& name) const;
    LRESULT OnNotify(NMHDR* header, BOOL& handled);
    void ReconcileChecks();
    // Replaces the target's entries by the ticked folders, each ticked
    // folder whole and an unticked one by its ticked descendants.
    void SaveSelection();
    void PropagateCheck(HTREEITEM item, bool ticked);
    void SetCheck(HTREEITEM item, bool ticked);
    bool IsChecked(HTREEITEM item) const;

private:
    struct FolderItemData {
        bool childrenLoaded = false;
        uint64_t folderId = 0;
        bool ticked = false;  // the tick last seen or set
    };

    FolderItemData* DataOf(HTREEITEM item) const;
    std::wstring ItemText(HTREEITEM item) const;
    void CollectChecked(HTREEITEM first, const std::wstring& parentPath, CSyncFolderList& out) const;
    void ReconcileFrom(HTREEITEM first);
    void LoadGrandchildren(HTREEITEM item);
    void SelectClickedCheckBox();

    IOptionsProgram& m_program;
    HWND m_tree = nullptr;
    brelio::UniqueImageList m_images;
    CSyncFolderList* m_target = nullptr;
};
