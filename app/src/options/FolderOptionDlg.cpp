#include <shlobj.h>
#include <shlwapi.h>
#include <shobjidl.h>

#include "BrelioApp/OptionPages.h"
#include "BrelioApp/RemoteFolderDlg.h"
#include "BrelioApp/StringIds.h"
#include "BrelioCore/ComPtr.h"
#include "BrelioCore/UniqueHandle.h"
#include "BrelioServices/Log.h"
#include "BrelioServices/SyncFolderCheck.h"

LRESULT CFolderOptionDlg::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&) {
    const CSyncFolderList& stored = m_settings.GetSyncFolders();
    if (stored.IsEmpty()) {
        CheckDlgButton(IDC_ALL_FOLDERS, BST_CHECKED);
        ::EnableWindow(GetDlgItem(IDC_CHOOSE_FOLDERS), FALSE);
        ::SetFocus(GetDlgItem(IDC_ALL_FOLDERS));
    } else {
        CheckDlgButton(IDC_SELECTED_FOLDERS, BST_CHECKED);
        ::EnableWindow(GetDlgItem(IDC_CHOOSE_FOLDERS), TRUE);
        ::SetFocus(GetDlgItem(IDC_SELECTED_FOLDERS));
        m_folders.CopyFrom(stored, false);
    }
    m_root = m_settings.GetRootDir();
    SetDlgItemText(IDC_ROOT_FOLDER, m_root.c_str());
    return 0;  // the focus has been set
}

LRESULT CFolderOptionDlg::OnAllFolders(WORD, WORD, HWND, BOOL&) {
    ::EnableWindow(GetDlgItem(IDC_CHOOSE_FOLDERS), FALSE);
    return 0;
}

LRESULT CFolderOptionDlg::OnSelectedFolders(WORD, WORD, HWND, BOOL&) {
    ::EnableWindow(GetDlgItem(IDC_CHOOSE_FOLDERS), TRUE);
    return 0;
}

LRESULT CFolderOptionDlg::OnChooseFolders(WORD, WORD, HWND, BOOL&) {
    // The picker changes the working copy only on its OK.
    CRemoteFolderDlg picker(&m_folders, m_program);
    (void)picker.DoModal(m_hWnd);
    return 0;
}

LRESULT CFolderOptionDlg::OnChangeFolder(WORD, WORD, HWND, BOOL&) {
    brelio::ComPtr<IFileOpenDialog> dialog;
    if (FAILED(::CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_ALL, IID_PPV_ARGS(dialog.Put())))) return 0;
    if (FAILED(dialog->SetOptions(FOS_PICKFOLDERS))) return 0;
    if (FAILED(dialog->Show(m_hWnd))) return 0;  // cancelled, or no dialog at all
    brelio::ComPtr<IShellItem> item;
    if (FAILED(dialog->GetResult(item.Put())) || !item) return 0;
    wchar_t* raw = nullptr;
    const HRESULT named = item->GetDisplayName(SIGDN_FILESYSPATH, &raw);
    const brelio::UniqueCoTaskMem<wchar_t> path(raw);
    // A virtual folder has no file-system path; a longer one cannot be stored.
    if (FAILED(named) || !path || wcslen(path.Get()) > MAX_PATH) return 0;
    // Only shown: the page's folder changes at the next committing check.
    SetDlgItemText(IDC_ROOT_FOLDER, path.Get());
    return 0;
}

bool CFolderOptionDlg::Validate(bool checkOnly) {
    const bool selectedOnly = IsDlgButtonChecked(IDC_SELECTED_FOLDERS) == BST_CHECKED;
    if (selectedOnly && m_folders.IsEmpty()) {
        m_program.ShowMessage(GetParent(), IDS_CHOOSE_SYNC_FOLDERS, MB_ICONERROR);
        return false;
    }
    const std::wstring text = GetDlgItemText(IDC_ROOT_FOLDER);
    std::wstring folder;
    const SyncFolderCheck verdict = CheckSyncFolder(text, folder);
    if (verdict != SyncFolderCheck::Accepted || !::PathIsDirectoryW(folder.c_str())) {
        if (verdict != SyncFolderCheck::Accepted)
            Log(L"%s - refused as the sync folder, %s.", text.c_str(), SyncFolderCheckText(verdict));
        m_program.ShowMessage(GetParent(), IDS_FOLDER_NOT_VALID, MB_ICONERROR);
        return false;
    }
    if (!checkOnly) {
        if (!selectedOnly) m_folders.Clear();
        m_root = std::move(folder);
    }
    return true;
}
