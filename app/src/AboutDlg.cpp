#include "BrelioApp/AboutDlg.h"

#include <cwchar>

#include "BrelioCore/JXVersion.h"

LRESULT CAboutDlg::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&) {
    CJXVersion version;
    if (SUCCEEDED(version.Load(nullptr))) {
        WORD parts[4] = {};
        version.GetVersion(parts);
        wchar_t text[64] = L"";
        std::swprintf(text, 64, L"v%u.%u.%u.%u", parts[0], parts[1], parts[2], parts[3]);
        ::SetDlgItemTextW(m_hWnd, IDC_ABOUT_VERSION, text);
    }
    CenterWindow(::GetParent(m_hWnd));
    return TRUE;
}

LRESULT CAboutDlg::OnCloseCmd(WORD, WORD id, HWND, BOOL&) {
    EndDialog(id);
    return 0;
}
