#pragma once
#include <windows.h>

#include <string>

#include "BrelioApp/CustomUI.h"
#include "BrelioApp/JXButton.h"
#include "BrelioApp/SyncListView.h"
#include "BrelioApp/SyncStatusBar.h"
#include "BrelioCore/JXView.h"
#include "BrelioCore/UniqueHandle.h"
#include "BrelioFramework/MessageMap.h"
#include "BrelioFramework/WindowImpl.h"
#include "BrelioSync/SyncItem.h"

// The sync status panel: a header with the program's title and three
// buttons (the drive's web page, the sync folder, the options), the list
// of sync items and a status bar. The engine posts it every item as
// WM_SYNCITEM with wParam 1; from then on the panel owns the item.
class CSyncView : public ATL::CWindowImpl<CSyncView, ATL::CWindow, ATL::CControlWinTraits>,
                  public CJXCustomUIHandler,
                  public CJXView {
public:
    static constexpr UINT kWebButtonId = 101;
    static constexpr UINT kFolderButtonId = 102;
    static constexpr UINT kOptionsButtonId = 103;

    CSyncView() = default;
    ~CSyncView() override;

    HWND Create(HWND parent, const RECT& rect);
    // Empties the list; every line's item is freed with its line.
    void DeleteAllItems();
    // Empties the list and the status bar when a session ends: what they
    // show belongs to it.
    void Clear();
    BOOL PreTranslateMessage(MSG*) { return FALSE; }
    HWND GetViewWindow() const override { return m_hWnd; }

    CSyncListView& GetList() { return m_list; }
    CSyncStatusBar& GetStatusBar() { return m_statusBar; }
    // The drive's web page of the signed-in tenant; empty with no account.
    static std::wstring DrivePageAddress();

    BEGIN_MSG_MAP(CSyncView)
        CHAIN_MSG_MAP(CJXCustomUIHandler)
        MESSAGE_HANDLER(WM_PAINT, OnPaint)
        MESSAGE_HANDLER(WM_ERASEBKGND, OnEraseBackground)
        NOTIFY_HANDLER(CSyncListView::kCtrlId, LVN_DELETEITEM, OnDeleteItem)
        NOTIFY_CODE_HANDLER(NM_DBLCLK, OnDoubleClick)
        COMMAND_HANDLER(kWebButtonId, BN_CLICKED, OnWebButton)
        COMMAND_HANDLER(kFolderButtonId, BN_CLICKED, OnFolderButton)
        COMMAND_HANDLER(kOptionsButtonId, BN_CLICKED, OnOptionsButton)
        MESSAGE_HANDLER(WM_SYNCITEM, OnSyncItem)
    END_MSG_MAP()

protected:
    // Hands a page or a folder to the shell (ShellExecuteW).
    virtual void OpenWithShell(const wchar_t* verb, const std::wstring& target);

private:
    LRESULT OnPaint(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnEraseBackground(UINT, WPARAM wParam, LPARAM, BOOL&);
    LRESULT OnDeleteItem(int, NMHDR* header, BOOL&);
    LRESULT OnDoubleClick(int, NMHDR* header, BOOL& handled);
    LRESULT OnWebButton(WORD, WORD, HWND, BOOL&);
    LRESULT OnFolderButton(WORD, WORD, HWND, BOOL&);
    LRESULT OnOptionsButton(WORD, WORD, HWND, BOOL&);
    LRESULT OnSyncItem(UINT, WPARAM wParam, LPARAM lParam, BOOL&);
    // A line that did not take the item leaves it to be freed here.
    void InsertOrFree(CSyncItem* item);
    // The status bar's text for a status message or for work in progress.
    void ShowStatus(const std::wstring& text, bool isWarning);

    brelio::UniquePen m_borderPen;
    brelio::UniquePen m_headerLinePen;
    brelio::UniqueFont m_titleFont;
    brelio::UniqueFont m_smallFont;
    CJXImageButton m_buttons[3];  // 101, 102, 103
    CSyncListView m_list;
    CSyncStatusBar m_statusBar;
    // The status bar shows a warning that stays until a pass completes.
    bool m_warningShown = false;
};
