#pragma once
#include <windows.h>

#include "BrelioCore/JXIcon.h"
#include "BrelioApp/SyncView.h"
#include "BrelioApp/TrayIconMessage.h"
#include "BrelioCore/JXView.h"
#include "BrelioFramework/FrameWindow.h"
#include "BrelioFramework/MessageLoop.h"
#include "BrelioFramework/MessageMap.h"
#include "BrelioFramework/WinTraits.h"
#include "BrelioSync/SyncItem.h"

// The program's main window: the small status window at the bottom right
// of the screen, whose client is the sync status panel, hidden most of the time and reached through the tray
// icon. It owns the tray icon and its menu, the options command, About and
// the 8-hour update timer, and hears the sign-out requests and settings
// changes. It deletes itself after its window is gone; destroying it ends
// the program (quit code 1).
class CMainFrame : public WTL::CFrameWindowImpl<CMainFrame, ATL::CWindow, ATL::CFrameWinTraits>,
                   public WTL::CMessageFilter,
                   public WTL::CIdleHandler {
public:
    DECLARE_WND_CLASS(L"BrelioDrive.MainFrame")

    static constexpr UINT_PTR kUpdateTimerId = 1000;
    static constexpr UINT kUpdateInterval = 28800000;  // 8 hours
    // Bits of the modal state.
    static constexpr int kModalOpen = 1;        // Exit is disabled in the tray menu
    static constexpr int kModalKeepHidden = 2;  // Open does not show the frame
    // The tray icon's id; Explorer keeps icon settings by it.
    static const GUID kTrayIconId;

    CMainFrame();

    // Until its window has been made the object belongs to its creator,
    // also when the window is destroyed while being made; from then on it
    // belongs to the window and deletes itself after the window's last
    // message.
    void HandOverToWindow() { m_ownedByWindow = true; }

    void SetModalState(int state) { m_modalState = state; }
    int GetModalState() const { return m_modalState; }
    // After a sign-out for a session error: tells the user once, then
    // takes the next session error again.
    void ShowSessionErrorMessage();
    CSyncView& GetSyncView() { return m_syncView; }
    // The tray menu as it is shown now (the caller destroys it).
    HMENU LoadTrayMenu() const;

    BOOL PreTranslateMessage(MSG* msg) override;
    BOOL OnIdle() override { return FALSE; }
    void OnFinalMessage(HWND window) override;

    BEGIN_MSG_MAP(CMainFrame)
        MESSAGE_HANDLER(WM_CREATE, OnCreate)
        MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
        MESSAGE_HANDLER(WM_CLOSE, OnClose)
        MESSAGE_HANDLER(WM_ACTIVATEAPP, OnActivateApp)
        COMMAND_ID_HANDLER(kOptionsCommand, OnOptions)
        COMMAND_ID_HANDLER(kOpenCommand, OnOpen)
        COMMAND_ID_HANDLER(kFullSyncCommand, OnSyncCommand)
        COMMAND_ID_HANDLER(kPartialSyncCommand, OnSyncCommand)
        COMMAND_ID_HANDLER(kAutoTestCommand, OnNothing)
        COMMAND_ID_HANDLER(kFileNewCommand, OnNothing)
        COMMAND_ID_HANDLER(kAboutCommand, OnAppAbout)
        COMMAND_ID_HANDLER(kExitCommand, OnAppExit)
        MESSAGE_HANDLER(WM_TIMER, OnTimer)
        MESSAGE_HANDLER(WM_SYNCITEM, OnSyncItem)
        MESSAGE_HANDLER(WM_TRAYICON, OnTrayIcon)
        MESSAGE_HANDLER(TaskbarCreatedMessage(), OnTaskbarCreated)
        CHAIN_MSG_MAP(FrameBase)
    END_MSG_MAP()

private:
    using FrameBase = WTL::CFrameWindowImpl<CMainFrame, ATL::CWindow, ATL::CFrameWinTraits>;
    static constexpr WORD kOptionsCommand = 103;
    static constexpr WORD kOpenCommand = 0x8011;
    static constexpr WORD kFullSyncCommand = 0x8014;
    static constexpr WORD kPartialSyncCommand = 0x8015;
    static constexpr WORD kAutoTestCommand = 0x8016;
    static constexpr WORD kFileNewCommand = 0xE100;
    static constexpr WORD kAboutCommand = 0xE140;
    static constexpr WORD kExitCommand = 0xE141;
    // Explorer broadcasts it when it (and its notification area) starts again.
    static UINT TaskbarCreatedMessage();

    // What other threads post to: the frame's window while it exists.
    class CFrameView : public CJXView {
    public:
        explicit CFrameView(CMainFrame* frame) : m_frame(frame) {}
        HWND GetViewWindow() const override { return m_frame->m_hWnd; }

    private:
        CMainFrame* m_frame;
    };

    LRESULT OnCreate(UINT, WPARAM, LPARAM, BOOL& handled);
    LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL& handled);
    LRESULT OnClose(UINT, WPARAM, LPARAM, BOOL& handled);
    LRESULT OnActivateApp(UINT, WPARAM active, LPARAM, BOOL& handled);
    LRESULT OnOptions(WORD, WORD, HWND, BOOL& handled);
    LRESULT OnOpen(WORD, WORD, HWND, BOOL& handled);
    LRESULT OnSyncCommand(WORD, WORD id, HWND, BOOL& handled);
    LRESULT OnNothing(WORD, WORD, HWND, BOOL& handled);
    LRESULT OnAppAbout(WORD, WORD, HWND, BOOL& handled);
    LRESULT OnAppExit(WORD, WORD, HWND, BOOL& handled);
    LRESULT OnTimer(UINT, WPARAM id, LPARAM, BOOL& handled);
    LRESULT OnSyncItem(UINT, WPARAM wParam, LPARAM lParam, BOOL& handled);
    LRESULT OnTrayIcon(UINT, WPARAM, LPARAM lParam, BOOL& handled);
    LRESULT OnTaskbarCreated(UINT, WPARAM, LPARAM, BOOL& handled);

    void AddTrayIcon();
    void ShowTrayMenu();
    void CheckForUpdate();

    bool m_ownedByWindow = false;
    DWORD m_lastSignOutCode = 0;
    bool m_updateCheckBusy = false;
    bool m_sessionErrorPending = false;
    int m_modalState = 0;
    UINT_PTR m_updateTimerId = 0;
    CJXIcon m_icons[2];
    CFrameView m_view{this};
    CSyncView m_syncView;
};
