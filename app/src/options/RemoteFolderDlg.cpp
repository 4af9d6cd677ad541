#include "BrelioApp/RemoteFolderDlg.h"

LRESULT CRemoteFolderDlg::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&) {
    m_tree.Init(GetDlgItem(IDC_FOLDER_TREE), m_target);
    if (!m_tree.LoadFolders(TVI_ROOT, 0, 1)) {
        EndDialog(IDCANCEL);
        return FALSE;
    }
    CenterWindow(GetParent());
    return TRUE;
}

LRESULT CRemoteFolderDlg::OnTreeNotify(int, NMHDR* header, BOOL& handled) { return m_tree.OnNotify(header, handled); }

LRESULT CRemoteFolderDlg::OnReconcileChecks(UINT, WPARAM, LPARAM, BOOL&) {
    m_tree.ReconcileChecks();
    return 0;
}

LRESULT CRemoteFolderDlg::OnOK(WORD, WORD, HWND, BOOL&) {
    m_tree.SaveSelection();
    EndDialog(IDOK);
    return 0;
}

LRESULT CRemoteFolderDlg::OnCancel(WORD, WORD, HWND, BOOL&) {
    EndDialog(IDCANCEL);
    return 0;
}
