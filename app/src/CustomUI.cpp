#include "BrelioApp/CustomUI.h"

LRESULT CJXCustomUI::OnMeasureItem(MEASUREITEMSTRUCT*, BOOL& handled) {
    handled = FALSE;
    return 0;
}

LRESULT CJXCustomUI::OnDrawItem(DRAWITEMSTRUCT*, BOOL& handled) {
    handled = FALSE;
    return 0;
}

LRESULT CJXCustomUI::OnNotify(NMHDR*, BOOL& handled) {
    handled = FALSE;
    return 0;
}

void CJXCustomUIHandler::AddControl(CJXCustomUI* control) {
    if (control != nullptr) m_controls.push_back(control);
}

LRESULT CJXCustomUIHandler::DispatchDrawItem(WPARAM controlId, DRAWITEMSTRUCT* item, BOOL& handled) {
    handled = FALSE;
    for (CJXCustomUI* control : m_controls) {
        if (static_cast<WPARAM>(control->GetCtrlId()) == controlId) return control->OnDrawItem(item, handled);
    }
    return 0;
}

LRESULT CJXCustomUIHandler::DispatchMeasureItem(WPARAM controlId, MEASUREITEMSTRUCT* item, BOOL& handled) {
    handled = FALSE;
    for (CJXCustomUI* control : m_controls) {
        if (static_cast<WPARAM>(control->GetCtrlId()) == controlId) return control->OnMeasureItem(item, handled);
    }
    return 0;
}

LRESULT CJXCustomUIHandler::DispatchNotify(NMHDR* header, BOOL& handled) {
    handled = FALSE;
    if (header == nullptr) return 0;
    for (CJXCustomUI* control : m_controls) {
        if (control->GetHwnd() == header->hwndFrom) return control->OnNotify(header, handled);
    }
    return 0;
}
