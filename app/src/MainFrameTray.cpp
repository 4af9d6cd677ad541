#include "BrelioApp/DriveApp.h"
#include "BrelioApp/MainFrame.h"
#include "BrelioApp/ResourceIds.h"
#include "BrelioServices/GlobalSettings.h"

HMENU CMainFrame::LoadTrayMenu() const {
    const HMENU resource = ::LoadMenuW(ATL::GetModuleInstance(), MAKEINTRESOURCEW(IDR_TRAY_MENU));
    if (resource == nullptr) return nullptr;
    // The pop-up is taken out of the bar so that it outlives it.
    const HMENU popup = ::GetSubMenu(resource, 0);
    ::RemoveMenu(resource, 0, MF_BYPOSITION);
    ::DestroyMenu(resource);
    if (popup == nullptr) return nullptr;
    ::DeleteMenu(popup, kAutoTestCommand, MF_BYCOMMAND);
    if (!IsTestMode()) {
        ::DeleteMenu(popup, kFullSyncCommand, MF_BYCOMMAND);
        ::DeleteMenu(popup, kPartialSyncCommand, MF_BYCOMMAND);
    }
    if ((m_modalState & kModalOpen) != 0) ::EnableMenuItem(popup, kExitCommand, MF_BYCOMMAND | MF_DISABLED);
    return popup;
}

void CMainFrame::ShowTrayMenu() {
    const HMENU menu = LoadTrayMenu();
    if (menu == nullptr) return;
    POINT cursor = {};
    ::GetCursorPos(&cursor);
    if (::MonitorFromPoint(cursor, MONITOR_DEFAULTTONULL) == nullptr) {
        MONITORINFO monitor = {};
        monitor.cbSize = sizeof(monitor);
        ::GetMonitorInfoW(::MonitorFromPoint(cursor, MONITOR_DEFAULTTONEAREST), &monitor);
        if (cursor.x < monitor.rcMonitor.left) cursor.x = monitor.rcMonitor.left;
        if (cursor.x >= monitor.rcMonitor.right) cursor.x = monitor.rcMonitor.right - 1;
    }
    UINT flags = TPM_RIGHTBUTTON;
    if (::GetSystemMetrics(SM_MENUDROPALIGNMENT) != 0) flags |= TPM_RIGHTALIGN;
    SetForegroundWindow();
    {
        CDriveApp::CNestedLoop menuLoop;
        ::TrackPopupMenu(menu, flags, cursor.x, cursor.y, 0, m_hWnd, nullptr);
    }
    ::DestroyMenu(menu);
}
