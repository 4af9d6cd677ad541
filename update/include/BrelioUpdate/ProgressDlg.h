#pragma once
#include <windows.h>

#include <string>

#include "BrelioFramework/DialogImpl.h"
#include "BrelioFramework/MessageMap.h"
#include "BrelioUpdate/UpdateResourceIds.h"

// The small window an update shows while it downloads and extracts its
// cabinet: a status line over a running marquee. It has no owner, since
// the update runs inside other programs, and lives only as long as the
// download and the extraction.
class CProgressDlg : public ATL::CDialogImpl<CProgressDlg> {
public:
    enum { IDD = IDD_UPDATE_PROGRESS };

    CProgressDlg() = default;
    ~CProgressDlg();
    CProgressDlg(const CProgressDlg&) = delete;
    CProgressDlg& operator=(const CProgressDlg&) = delete;

    // Makes and shows the window with its marquee running and `status` on
    // its status line. False when it could not be made; the update goes on
    // without it.
    bool Open(const std::wstring& status);
    // Nothing happens while the window does not exist.
    void SetStatus(const std::wstring& text);
    void Close();
    bool IsOpen() const { return m_hWnd != nullptr; }

    BEGIN_MSG_MAP(CProgressDlg)
        MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
        COMMAND_ID_HANDLER(IDCANCEL, OnCancel)
    END_MSG_MAP()

private:
    LRESULT OnInitDialog(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
    LRESULT OnCancel(WORD code, WORD id, HWND control, BOOL& handled);
};
