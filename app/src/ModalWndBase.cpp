#include "BrelioApp/ModalWndBase.h"

#include "BrelioFramework/Window.h"

INT_PTR CModalWndBase::DoModal(HWND owner, HWND centreOn, int showCommand) {
    ATL::CWindow window(GetHwnd());
    if (showCommand == SW_SHOW) {
        window.CenterWindow(centreOn);
        window.ShowWindow(SW_SHOW);
        window.UpdateWindow();
    }
    if (owner != nullptr) ::EnableWindow(owner, FALSE);
    RunModalLoop();
    // The owner is enabled before the window goes, so that Windows gives
    // the activation back to it rather than to another program.
    if (owner != nullptr) ::EnableWindow(owner, TRUE);
    window.DestroyWindow();
    return m_result;
}

LRESULT CModalWndBase::OnClose(UINT, WPARAM, LPARAM, BOOL& handled) {
    m_running = false;
    m_result = kResultCancel;
    handled = TRUE;
    return 0;
}

void CModalWndBase::RunModalLoop() {
    m_running = true;
    MSG msg;
    while (m_running) {
        if (!::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
            // Waiting, not polling: an idle modal window uses no processor
            // time.
            ::WaitMessage();
            continue;
        }
        if (msg.message == WM_QUIT) break;  // left queued for the outer loop
        const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == -1) continue;
        if (!PreTranslateMessage(&msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
}
