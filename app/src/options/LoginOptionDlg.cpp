#include "BrelioApp/OptionPages.h"
#include "BrelioApp/StringIds.h"
#include "BrelioCore/TextConvert.h"
#include "BrelioServices/DriveApi.h"
#include "BrelioServices/GlobalSettings.h"
#include "BrelioSync/SyncItem.h"

LRESULT CLoginOptionDlg::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&) {
    const std::wstring tenant = m_settings.GetTenant();
    if (!tenant.empty()) {
        RequestStatus status;
        MemberInfo member;
        // The service sends the user code as UTF-8, like every text.
        if (GetMember(status, tenant.c_str(), member) >= 0)
            SetDlgItemText(IDC_ACCOUNT, brelio::Utf8ToWide(member.userCode).c_str());
    }
    if (m_settings.IsAutoLogin()) {
        CheckDlgButton(IDC_KEEP_LOGIN, BST_CHECKED);
        m_keepLogin = true;
    }
    if (IsAutoStartEnabled()) {
        CheckDlgButton(IDC_AUTO_START, BST_CHECKED);
        m_autoStart = true;
    }
    return 0;
}

LRESULT CLoginOptionDlg::OnLogOut(WORD, WORD, HWND, BOOL&) {
    const HWND parent = GetParent();
    if (m_program.ShowMessage(parent, IDS_CONFIRM_SIGN_OUT, MB_YESNO | MB_ICONQUESTION) != IDNO)
        ::PostMessageW(parent, WM_SYNCITEM, SYNCITEM_SIGN_OUT, 0);
    return 0;
}

bool CLoginOptionDlg::Apply() {
    m_keepLogin = IsDlgButtonChecked(IDC_KEEP_LOGIN) == BST_CHECKED;
    m_autoStart = IsDlgButtonChecked(IDC_AUTO_START) == BST_CHECKED;
    return true;
}
