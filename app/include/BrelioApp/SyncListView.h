#pragma once
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "BrelioApp/CustomUI.h"
#include "BrelioApp/FileIconList.h"
#include "BrelioCore/UniqueHandle.h"
#include "BrelioFramework/Controls.h"

class CSyncItem;

// The owner-drawn list of sync items: one 60-pixel line per item with its
// file-type icon, state badge, name and time. Each line carries its
// CSyncItem as item data; the panel owns the items and frees each one when
// its line is deleted.
class CSyncListView : public WTL::CListViewCtrlT<ATL::CWindow>, public CJXCustomUI {
public:
    static constexpr UINT kCtrlId = 108;
    static constexpr int kLineHeight = 60;

    HWND Create(HWND parent, const RECT& rect);
    // Inserts the item as the line at `position` (-1: the end), widening
    // the column for a wider name; the line's index, or -1 with the item
    // still the caller's.
    int InsertSyncItem(CSyncItem* item, int position);
    CSyncItem* GetSyncItem(int index) const { return reinterpret_cast<CSyncItem*>(GetItemData(index)); }
    // The folder a double click on the line opens: the item's own for a
    // folder, its parent's for a file; empty when there is no line, or
    // the folder no longer exists.
    std::wstring GetItemFolder(int index) const;
    int GetColumnWidth() const { return m_columnWidth; }

    UINT GetCtrlId() const override { return kCtrlId; }
    HWND GetHwnd() const override { return m_hWnd; }
    LRESULT OnMeasureItem(MEASUREITEMSTRUCT* item, BOOL& handled) override;
    LRESULT OnDrawItem(DRAWITEMSTRUCT* item, BOOL& handled) override;

    // The two lines of an item (name, a tab, its time), built on first use
    // and kept in the item.
    static const std::wstring& DisplayTextOf(CSyncItem& item);
    // A time (seconds since 1970 UTC) in the local zone, in the format of
    // the string table; empty when it cannot be formatted.
    static std::wstring FormatTime(__time64_t time);

private:
    int m_columnWidth = 0;
    int m_iconOffset = -1;
    brelio::UniqueFont m_nameFont;
    brelio::UniqueFont m_timeFont;
    brelio::UniquePen m_separatorPen;
    brelio::UniqueImageList m_stateImages;
    CFileIconList m_fileIcons;
};
