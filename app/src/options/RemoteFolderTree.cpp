#include "BrelioApp/RemoteFolderTree.h"

#include <shellapi.h>

#include "BrelioApp/StringIds.h"
#include "BrelioServices/DriveApi.h"
#include "BrelioServices/SessionError.h"

namespace {

constexpr UINT kStateMask = TVIS_STATEIMAGEMASK;
constexpr UINT kUnticked = INDEXTOSTATEIMAGEMASK(1);
constexpr UINT kTicked = INDEXTOSTATEIMAGEMASK(2);
constexpr int kItemHeight = 20;
// The expand, collapse and toggle part of a TVN_ITEMEXPANDING action.
constexpr UINT kExpandActionMask = 0x0003;
constexpr int kTextCapacity = 261;

HTREEITEM NextItem(HWND tree, HTREEITEM item, UINT relation) {
    return reinterpret_cast<HTREEITEM>(
        ::SendMessageW(tree, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
}

}  // namespace

void CRemoteFolderTree::Init(HWND tree, CSyncFolderList* target) {
    m_tree = tree;
    m_target = target;
    const int cx = ::GetSystemMetrics(SM_CXSMICON);
    const int cy = ::GetSystemMetrics(SM_CYSMICON);
    wchar_t systemFolder[kTextCapacity] = L"";
    ::GetSystemDirectoryW(systemFolder, kTextCapacity);
    SHFILEINFOW info = {};
    ::SHGetFileInfoW(systemFolder, 0, &info, sizeof(info), SHGFI_ICON | SHGFI_SMALLICON);
    const brelio::UniqueIcon folderIcon(info.hIcon);
    m_images.Reset(::ImageList_Create(cx, cy, ILC_COLOR32 | ILC_MASK, 1, 1));
    if (m_images && folderIcon) ::ImageList_ReplaceIcon(m_images.Get(), -1, folderIcon.Get());
    // A tree made from a template with check boxes has no pictures for them
    // under Wine (Windows makes them at creation): switching the style on
    // again, before any item exists, makes them.
    if (::SendMessageW(m_tree, TVM_GETIMAGELIST, TVSIL_STATE, 0) == 0) {
        const LONG style = ::GetWindowLongW(m_tree, GWL_STYLE);
        ::SetWindowLongW(m_tree, GWL_STYLE, style & ~TVS_CHECKBOXES);
        ::SetWindowLongW(m_tree, GWL_STYLE, style | TVS_CHECKBOXES);
    }
    ::SendMessageW(m_tree, TVM_SETITEMHEIGHT, kItemHeight, 0);
    ::SendMessageW(m_tree, TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(m_images.Get()));
}

bool CRemoteFolderTree::LoadFolders(HTREEITEM parent, uint64_t parentId, int depth) {
    RequestStatus status;
    FileInfoList folders;
    const ApiErrorCode listed = GetFiles(status, parentId, folders, true);
    if (listed < 0) {
        if (IsSessionError(listed) && parentId == 0) {
            m_program.ShowMessage(nullptr, IDS_DRIVE_SERVICE_DISABLED, MB_ICONEXCLAMATION);
            return false;
        }
        return true;  // that level stays empty
    }
    for (const FileInfo& folder : folders) {
        HTREEITEM item = InsertFolder(folder.name, folder.id, parent);
        if (item != nullptr && depth < 2) LoadFolders(item, folder.id, depth + 1);
    }
    return true;
}

HTREEITEM CRemoteFolderTree::InsertFolder(const std::wstring& name, uint64_t folderId, HTREEITEM parent) {
    auto* data = new FolderItemData{false, folderId, false};
    TVINSERTSTRUCTW insert = {};
    insert.hParent = parent;
    insert.hInsertAfter = TVI_LAST;
    // Every folder starts with an unticked box of its own rather than what
    // the tree view would give it.
    insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM | TVIF_STATE;
    insert.item.stateMask = kStateMask;
    insert.item.state = kUnticked;
    insert.item.pszText = const_cast<wchar_t*>(name.c_str());
    insert.item.iImage = 0;
    insert.item.iSelectedImage = 0;
    insert.item.lParam = reinterpret_cast<LPARAM>(data);
    auto* item = reinterpret_cast<HTREEITEM>(::SendMessageW(m_tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
    if (item == nullptr) {
        delete data;  // the tree never took it
        return nullptr;
    }
    // Ticked only when the selection covers the folder, never because its
    // parent is ticked on screen: the parent may stand for its own files.
    if (m_target != nullptr && m_target->ContainsPathPrefix(GetItemPath(item, name).c_str())) SetCheck(item, true);
    return item;
}

std::wstring CRemoteFolderTree::ItemText(HTREEITEM item) const {
    wchar_t text[kTextCapacity] = L"";
    TVITEMW info = {};
    info.mask = TVIF_TEXT;
    info.hItem = item;
    info.pszText = text;
    info.cchTextMax = kTextCapacity;
    ::SendMessageW(m_tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&info));
    return text;
}

std::wstring CRemoteFolderTree::GetItemPath(HTREEITEM item, const std::wstring& name) const {
    std::wstring path = name;
    for (HTREEITEM parent = NextItem(m_tree, item, TVGN_PARENT); parent != nullptr;
         parent = NextItem(m_tree, parent, TVGN_PARENT)) {
        path = ItemText(parent) + L"\\" + path;
    }
    return path;
}

CRemoteFolderTree::FolderItemData* CRemoteFolderTree::DataOf(HTREEITEM item) const {
    TVITEMW info = {};
    info.mask = TVIF_PARAM;
    info.hItem = item;
    if (!::SendMessageW(m_tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&info))) return nullptr;
    return reinterpret_cast<FolderItemData*>(info.lParam);
}

bool CRemoteFolderTree::IsChecked(HTREEITEM item) const {
    const UINT state = static_cast<UINT>(::SendMessageW(m_tree, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item), kStateMask));
    return (state & kStateMask) == kTicked;
}

void CRemoteFolderTree::SetCheck(HTREEITEM item, bool ticked) {
    // Remembered first, so that the notification this change raises on
    // Windows finds nothing new to follow.
    if (FolderItemData* data = DataOf(item)) data->ticked = ticked;
    TVITEMW info = {};
    info.mask = TVIF_STATE;
    info.hItem = item;
    info.stateMask = kStateMask;
    info.state = ticked ? kTicked : kUnticked;
    ::SendMessageW(m_tree, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&info));
}

void CRemoteFolderTree::PropagateCheck(HTREEITEM item, bool ticked) {
    for (HTREEITEM child = NextItem(m_tree, item, TVGN_CHILD); child != nullptr;
         child = NextItem(m_tree, child, TVGN_NEXT)) {
        SetCheck(child, ticked);
        PropagateCheck(child, ticked);
    }
}

void CRemoteFolderTree::ReconcileChecks() { ReconcileFrom(NextItem(m_tree, nullptr, TVGN_ROOT)); }

void CRemoteFolderTree::ReconcileFrom(HTREEITEM first) {
    for (HTREEITEM item = first; item != nullptr; item = NextItem(m_tree, item, TVGN_NEXT)) {
        FolderItemData* data = DataOf(item);
        const bool ticked = IsChecked(item);
        if (data != nullptr && data->ticked != ticked) {
            data->ticked = ticked;
            PropagateCheck(item, ticked);
        }
        ReconcileFrom(NextItem(m_tree, item, TVGN_CHILD));
    }
}

void CRemoteFolderTree::LoadGrandchildren(HTREEITEM item) {
    FolderItemData* data = DataOf(item);
    if (data == nullptr || data->childrenLoaded) return;
    for (HTREEITEM child = NextItem(m_tree, item, TVGN_CHILD); child != nullptr;
         child = NextItem(m_tree, child, TVGN_NEXT)) {
        if (const FolderItemData* childData = DataOf(child)) LoadFolders(child, childData->folderId, 2);
    }
    data->childrenLoaded = true;
}

void CRemoteFolderTree::SelectClickedCheckBox() {
    const DWORD where = ::GetMessagePos();
    TVHITTESTINFO hit = {};
    hit.pt = {static_cast<short>(LOWORD(where)), static_cast<short>(HIWORD(where))};
    ::ScreenToClient(m_tree, &hit.pt);
    ::SendMessageW(m_tree, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit));
    if (hit.hItem != nullptr && (hit.flags & TVHT_ONITEMSTATEICON) != 0)
        ::SendMessageW(m_tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(hit.hItem));
}

LRESULT CRemoteFolderTree::OnNotify(NMHDR* header, BOOL& handled) {
    handled = TRUE;
    switch (header->code) {
    case TVN_DELETEITEMW: {
        const auto* view = reinterpret_cast<const NMTREEVIEWW*>(header);
        delete reinterpret_cast<FolderItemData*>(view->itemOld.lParam);
        return 0;
    }
    case TVN_ITEMEXPANDINGW: {
        const auto* view = reinterpret_cast<const NMTREEVIEWW*>(header);
        if ((view->action & kExpandActionMask) == TVE_EXPAND) LoadGrandchildren(view->itemNew.hItem);
        return 0;
    }
    case TVN_ITEMCHANGEDW: {
        const auto* change = reinterpret_cast<const NMTVITEMCHANGE*>(header);
        if (((change->uStateNew ^ change->uStateOld) & kStateMask) != 0) {
            const bool ticked = (change->uStateNew & kStateMask) == kTicked;
            FolderItemData* data = DataOf(change->hItem);
            if (data != nullptr && data->ticked != ticked) {
                data->ticked = ticked;
                PropagateCheck(change->hItem, ticked);
            }
        }
        return 0;
    }
    case NM_CLICK:
        SelectClickedCheckBox();
        // The tree view toggles the box after this notification on
        // Windows and before it under Wine: look once it has.
        ::PostMessageW(::GetParent(m_tree), kReconcileChecks, 0, 0);
        handled = FALSE;
        return 0;
    case TVN_KEYDOWN:
        if (reinterpret_cast<const NMTVKEYDOWN*>(header)->wVKey == VK_SPACE)
            ::PostMessageW(::GetParent(m_tree), kReconcileChecks, 0, 0);
        handled = FALSE;
        return 0;
    default:
        handled = FALSE;
        return 0;
    }
}

void CRemoteFolderTree::SaveSelection() {
    if (m_target == nullptr) return;
    CSyncFolderList checked;
    CollectChecked(NextItem(m_tree, nullptr, TVGN_ROOT), std::wstring(), checked);
    // One replacement under the target's own lock: a reader sees the old
    // selection or the new one, never a half-written list.
    m_target->CopyFrom(checked, false);
}

void CRemoteFolderTree::CollectChecked(HTREEITEM first, const std::wstring& parentPath, CSyncFolderList& out) const {
    for (HTREEITEM item = first; item != nullptr; item = NextItem(m_tree, item, TVGN_NEXT)) {
        const std::wstring text = ItemText(item);
        const std::wstring path = parentPath.empty() ? text : parentPath + L"\\" + text;
        if (!IsChecked(item)) {
            CollectChecked(NextItem(m_tree, item, TVGN_CHILD), path, out);
            continue;
        }
        // A ticked folder is taken whole; its subtree is not looked at.
        const FolderItemData* data = DataOf(item);
        out.Add(path.c_str(), data != nullptr ? data->folderId : 0);
    }
}
