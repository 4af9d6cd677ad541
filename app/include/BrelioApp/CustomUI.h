#pragma once
#include <windows.h>
#include <commctrl.h>

#include <vector>

#include "BrelioFramework/MessageMap.h"

// A child control that draws itself. The owning window's handler routes
// WM_DRAWITEM and WM_MEASUREITEM to it by control id, and NM_CUSTOMDRAW by
// window handle. The base answers nothing (handled FALSE).
class CJXCustomUI {
public:
    CJXCustomUI() = default;
    virtual ~CJXCustomUI() = default;
    CJXCustomUI(const CJXCustomUI&) = delete;
    CJXCustomUI& operator=(const CJXCustomUI&) = delete;

    virtual UINT GetCtrlId() const { return 0; }
    virtual HWND GetHwnd() const = 0;
    virtual LRESULT OnMeasureItem(MEASUREITEMSTRUCT* item, BOOL& handled);
    virtual LRESULT OnDrawItem(DRAWITEMSTRUCT* item, BOOL& handled);
    virtual LRESULT OnNotify(NMHDR* header, BOOL& handled);
};

// The mix-in of a window that owns self-drawing controls: an ordered list
// of them (not owned; they are members of the same window object) and the
// routing of their drawing messages. The first matching control gets the
// message, and the walk ends there whether it handled it or not.
class CJXCustomUIHandler {
public:
    CJXCustomUIHandler() = default;
    ~CJXCustomUIHandler() { RemoveAllControls(); }
    CJXCustomUIHandler(const CJXCustomUIHandler&) = delete;
    CJXCustomUIHandler& operator=(const CJXCustomUIHandler&) = delete;

    void AddControl(CJXCustomUI* control);
    void RemoveAllControls() { m_controls.clear(); }

    LRESULT DispatchDrawItem(WPARAM controlId, DRAWITEMSTRUCT* item, BOOL& handled);
    LRESULT DispatchMeasureItem(WPARAM controlId, MEASUREITEMSTRUCT* item, BOOL& handled);
    LRESULT DispatchNotify(NMHDR* header, BOOL& handled);

    // For an owner's message map (CHAIN_MSG_MAP(CJXCustomUIHandler)): the
    // three messages, handled only when a control handled them.
    BEGIN_MSG_MAP(CJXCustomUIHandler)
        MESSAGE_HANDLER(WM_DRAWITEM, OnDrawItemMessage)
        MESSAGE_HANDLER(WM_MEASUREITEM, OnMeasureItemMessage)
        NOTIFY_CODE_HANDLER(NM_CUSTOMDRAW, OnCustomDrawNotify)
    END_MSG_MAP()

private:
    LRESULT OnDrawItemMessage(UINT, WPARAM wParam, LPARAM lParam, BOOL& handled) {
        return DispatchDrawItem(wParam, reinterpret_cast<DRAWITEMSTRUCT*>(lParam), handled);
    }
    LRESULT OnMeasureItemMessage(UINT, WPARAM wParam, LPARAM lParam, BOOL& handled) {
        return DispatchMeasureItem(wParam, reinterpret_cast<MEASUREITEMSTRUCT*>(lParam), handled);
    }
    LRESULT OnCustomDrawNotify(int, NMHDR* header, BOOL& handled) { return DispatchNotify(header, handled); }

    std::vector<CJXCustomUI*> m_controls;
};
