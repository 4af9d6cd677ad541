#pragma once
#include <windows.h>

// The mix-in that makes a top-level window of the program modal with its
// own message loop. The derived window creates itself, then DoModal shows
// it (or keeps it hidden), disables the owner, pumps messages until a
// handler clears `running`, enables the owner again, destroys the window
// and returns `result` (1 accepted, 2 cancelled or closed).
class CModalWndBase {
public:
    static constexpr INT_PTR kResultOk = 1;
    static constexpr INT_PTR kResultCancel = 2;

    CModalWndBase() = default;
    virtual ~CModalWndBase() = default;
    CModalWndBase(const CModalWndBase&) = delete;
    CModalWndBase& operator=(const CModalWndBase&) = delete;

    // TRUE when the derived window consumed the message (dialog keys, a web
    // view's keyboard).
    virtual BOOL PreTranslateMessage(MSG* msg) = 0;
    virtual HWND GetHwnd() const = 0;

    // Only SW_SHOW shows the window, centred over `centreOn`; any other
    // command leaves it hidden where it was made. A quit message ends the
    // loop with the result unchanged and stays queued for the outer loop.
    INT_PTR DoModal(HWND owner, HWND centreOn, int showCommand);
    // WM_CLOSE of the derived window (close box, Alt+F4, a WM_CLOSE from
    // elsewhere): result 2.
    LRESULT OnClose(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
    void RunModalLoop();

protected:
    bool m_running = true;
    INT_PTR m_result = kResultCancel;
};
