#include "BrelioUpdate/ProgressDlg.h"

#include <commctrl.h>

CProgressDlg::~CProgressDlg() { Close(); }

bool CProgressDlg::Open(const std::wstring& status) {
    if (m_hWnd != nullptr) return true;
    if (Create(nullptr) == nullptr) return false;
    ShowWindow(SW_SHOWNORMAL);
    ::SendMessageW(GetDlgItem(IDC_UPDATE_PROGRESS), PBM_SETMARQUEE, TRUE, 0);
    SetStatus(status);
    // The thread is busy downloading until its next message drain: the
    // window is painted now rather than then.
    ::UpdateWindow(m_hWnd);
    return true;
}

void CProgressDlg::SetStatus(const std::wstring& text) {
    if (m_hWnd == nullptr) return;
    SetDlgItemText(IDC_UPDATE_STATUS, text.c_str());
    // The status line is a static text: repaint it at once, as the next
    // message drain may be a whole file away.
    ::UpdateWindow(GetDlgItem(IDC_UPDATE_STATUS));
}

void CProgressDlg::Close() {
    if (m_hWnd != nullptr) DestroyWindow();
}

LRESULT CProgressDlg::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&) {
    // Over its owner, or in the middle of its monitor's work area.
    CenterWindow();
    return TRUE;
}

LRESULT CProgressDlg::OnCancel(WORD, WORD, HWND, BOOL&) {
    EndDialog(IDCANCEL);
    return 0;
}
