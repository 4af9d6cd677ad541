#pragma once
#include <windows.h>
#include <commctrl.h>

#include "BrelioFramework/Window.h"

namespace WTL {

// Thin wrappers of the common controls the program places: the handle and
// the control's own messages, nothing owned.

template <typename TBase = ATL::CWindow>
class CButtonT : public TBase {
public:
    CButtonT(HWND window = nullptr) : TBase(window) {}  // NOLINT
    static LPCWSTR GetWndClassName() { return WC_BUTTONW; }

    UINT GetState() const { return static_cast<UINT>(this->SendMessage(BM_GETSTATE)); }
    void SetState(BOOL pushed) { this->SendMessage(BM_SETSTATE, pushed); }
    int GetCheck() const { return static_cast<int>(this->SendMessage(BM_GETCHECK)); }
    void SetCheck(int check) { this->SendMessage(BM_SETCHECK, static_cast<WPARAM>(check)); }
};
using CButton = CButtonT<>;

template <typename TBase = ATL::CWindow>
class CListViewCtrlT : public TBase {
public:
    CListViewCtrlT(HWND window = nullptr) : TBase(window) {}  // NOLINT
    static LPCWSTR GetWndClassName() { return WC_LISTVIEWW; }

    int GetItemCount() const { return static_cast<int>(this->SendMessage(LVM_GETITEMCOUNT)); }
    int InsertColumn(int index, const LVCOLUMNW& column) {
        return static_cast<int>(this->SendMessage(LVM_INSERTCOLUMNW, static_cast<WPARAM>(index),
                                                  reinterpret_cast<LPARAM>(&column)));
    }
    BOOL SetColumnWidth(int column, int width) {
        return static_cast<BOOL>(this->SendMessage(LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(column), MAKELPARAM(width, 0)));
    }
    int InsertItem(const LVITEMW& item) {
        return static_cast<int>(this->SendMessage(LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    }
    // The item's LVIF_PARAM data; 0 when there is no such item.
    LPARAM GetItemData(int index) const {
        LVITEMW item = {};
        item.mask = LVIF_PARAM;
        item.iItem = index;
        return this->SendMessage(LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)) ? item.lParam : 0;
    }
    BOOL DeleteAllItems() { return static_cast<BOOL>(this->SendMessage(LVM_DELETEALLITEMS)); }
    BOOL EnsureVisible(int index, BOOL partialOk) {
        return static_cast<BOOL>(this->SendMessage(LVM_ENSUREVISIBLE, static_cast<WPARAM>(index), partialOk));
    }
    BOOL RedrawItems(int first, int last) {
        return static_cast<BOOL>(this->SendMessage(LVM_REDRAWITEMS, static_cast<WPARAM>(first), last));
    }
    HIMAGELIST SetImageList(HIMAGELIST list, int which) {
        return reinterpret_cast<HIMAGELIST>(
            this->SendMessage(LVM_SETIMAGELIST, static_cast<WPARAM>(which), reinterpret_cast<LPARAM>(list)));
    }
};
using CListViewCtrl = CListViewCtrlT<>;

}  // namespace WTL
