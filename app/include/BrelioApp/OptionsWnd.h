#pragma once
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "BrelioApp/ModalWndBase.h"
#include "BrelioApp/OptionPages.h"
#include "BrelioApp/OptionsProgram.h"
#include "BrelioApp/SignInWindows.h"
#include "BrelioFramework/MessageMap.h"
#include "BrelioFramework/WindowImpl.h"
#include "BrelioSync/SyncItem.h"

// WM_SYNCITEM between the options window and its pane: may the page of the
// command in lParam be left? The answer is 1 or 0.
constexpr WPARAM SYNCITEM_MAY_LEAVE_PAGE = 0;


// The rows on the left of the options window: a header and one row per
// page. Choosing a row asks the window whether the current page may be
// left, then posts the row's command to it.
class COptionsNavPane : public ATL::CWindowImpl<COptionsNavPane, ATL::CWindow, ATL::CControlWinTraits> {
public:
    struct NavItem {
        bool isHeader = false;
        bool selected = false;
        std::wstring text;
        RECT rect = {};
        int command = -1;
    };

    static constexpr int kRowHeight = 32;

    DECLARE_WND_CLASS(L"NavigationPane")

    BEGIN_MSG_MAP(COptionsNavPane)
        MESSAGE_HANDLER(WM_ERASEBKGND, OnEraseBackground)
        MESSAGE_HANDLER(WM_PAINT, OnPaint)
        MESSAGE_HANDLER(WM_LBUTTONDOWN, OnLButtonDown)
        MESSAGE_HANDLER(WM_SETFONT, OnSetFont)
        MESSAGE_HANDLER(WM_GETFONT, OnGetFont)
    END_MSG_MAP()

    void CreateItems(const RECT& pane);
    void AddItem(UINT stringId, bool isHeader, const RECT& rect, int command, bool selected);
    const NavItem* GetCurrent() const { return m_current; }
    const std::vector<std::unique_ptr<NavItem>>& GetItems() const { return m_items; }

private:
    LRESULT OnEraseBackground(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnPaint(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnLButtonDown(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnSetFont(UINT, WPARAM wParam, LPARAM lParam, BOOL&);
    LRESULT OnGetFont(UINT, WPARAM, LPARAM, BOOL&) { return reinterpret_cast<LRESULT>(m_font); }

    HFONT m_font = nullptr;  // not owned: the application's UI font
    std::vector<std::unique_ptr<NavItem>> m_items;
    NavItem* m_current = nullptr;
};

// The modal settings window: the navigation pane on the left, the folder
// and login pages on the right, OK and Cancel below. OK stores what the
// pages hold into the settings it is given; GetResult then says what
// changed.
class COptionsWnd : public ATL::CWindowImpl<COptionsWnd, ATL::CWindow, ATL::CControlWinTraits>, public CModalWndBase {
public:
    static constexpr int kPaneWidth = 160;
    static constexpr int kButtonBand = 64;

    DECLARE_WND_CLASS(L"BrelioDrive.OptionsWnd")

    COptionsWnd(CSettings& settings, IOptionsProgram& program)
        : m_settings(settings), m_program(program), m_folderPage(settings, program), m_loginPage(settings, program) {}

    BEGIN_MSG_MAP(COptionsWnd)
        MESSAGE_HANDLER(WM_PAINT, OnPaint)
        MESSAGE_HANDLER(WM_CLOSE, OnClose)
        MESSAGE_HANDLER(WM_SYNCITEM, OnSyncItem)
        COMMAND_ID_HANDLER(IDOK, OnOKCommand)
        COMMAND_ID_HANDLER(IDCANCEL, OnCancel)
        COMMAND_ID_HANDLER(ID_PAGE_FOLDER, OnPageCommand)
        COMMAND_ID_HANDLER(ID_PAGE_LOGIN, OnPageCommand)
    END_MSG_MAP()

    // 1 after OK, 2 after Cancel, closing or a confirmed log-out.
    INT_PTR DoModal(HWND owner);
    int GetResult() const { return m_optionsResult; }

    HWND Create(HWND owner);
    void CreateButtons(const RECT& client);
    void ShowFolderPage();
    void ShowLoginPage();
    void OnOK();

    BOOL PreTranslateMessage(MSG* msg) override;
    HWND GetHwnd() const override { return m_hWnd; }

    // For the tests and the caller that drive the window.
    HWND GetNavPane() const { return m_navPane.m_hWnd; }
    HWND GetFolderPage() const { return m_folderPage.m_hWnd; }
    HWND GetLoginPage() const { return m_loginPage.m_hWnd; }
    HWND GetCurrentPage() const { return m_currentPage; }
    bool IsRunning() const { return m_running; }

private:
    LRESULT OnPaint(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnSyncItem(UINT, WPARAM wParam, LPARAM lParam, BOOL&);
    LRESULT OnOKCommand(WORD, WORD, HWND, BOOL&);
    LRESULT OnCancel(WORD, WORD, HWND, BOOL&);
    LRESULT OnPageCommand(WORD, WORD id, HWND, BOOL&);
    [[nodiscard]] bool StoreFolderSettings();

    CSettings& m_settings;
    IOptionsProgram& m_program;
    int m_optionsResult = OPTIONS_NOTHING_TO_PASS_ON;
    HWND m_currentPage = nullptr;
    HWND m_okButton = nullptr;
    HWND m_cancelButton = nullptr;
    RECT m_pageArea = {};
    COptionsNavPane m_navPane;
    CFolderOptionDlg m_folderPage;
    CLoginOptionDlg m_loginPage;
};
