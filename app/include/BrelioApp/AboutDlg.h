#pragma once
#include <windows.h>

#include "BrelioApp/ResourceIds.h"
#include "BrelioFramework/DialogImpl.h"
#include "BrelioFramework/MessageMap.h"

// The About box: the program's name and its own file version.
class CAboutDlg : public ATL::CDialogImpl<CAboutDlg, ATL::CWindow> {
public:
    enum { IDD = IDD_ABOUT };

    BEGIN_MSG_MAP(CAboutDlg)
        MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
        COMMAND_ID_HANDLER(IDOK, OnCloseCmd)
        COMMAND_ID_HANDLER(IDCANCEL, OnCloseCmd)
    END_MSG_MAP()

private:
    LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnCloseCmd(WORD, WORD id, HWND, BOOL&);
};
