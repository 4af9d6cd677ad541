#pragma once
#include <windows.h>

#include "BrelioApp/RemoteFolderTree.h"
#include "BrelioApp/ResourceIds.h"
#include "BrelioFramework/DialogImpl.h"
#include "BrelioFramework/MessageMap.h"
#include "BrelioServices/SyncFolderList.h"

// The picker of remote folders to sync. It edits the given selection only
// on OK; Cancel, or a session that has ended before the drive's folders
// could be listed (message 8006, result 2), leaves it as it was.
class CRemoteFolderDlg : public ATL::CDialogImpl<CRemoteFolderDlg> {
public:
    enum { IDD = IDD_REMOTE_FOLDERS };

    CRemoteFolderDlg(CSyncFolderList* target, IOptionsProgram& program) : m_target(target), m_tree(program) {}

    BEGIN_MSG_MAP(CRemoteFolderDlg)
        MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
        NOTIFY_ID_HANDLER(IDC_FOLDER_TREE, OnTreeNotify)
        MESSAGE_HANDLER(CRemoteFolderTree::kReconcileChecks, OnReconcileChecks)
        COMMAND_ID_HANDLER(IDOK, OnOK)
        COMMAND_ID_HANDLER(IDCANCEL, OnCancel)
    END_MSG_MAP()

private:
    LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnTreeNotify(int, NMHDR* header, BOOL& handled);
    LRESULT OnReconcileChecks(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnOK(WORD, WORD, HWND, BOOL&);
    LRESULT OnCancel(WORD, WORD, HWND, BOOL&);

    CSyncFolderList* m_target;
    CRemoteFolderTree m_tree;
};
