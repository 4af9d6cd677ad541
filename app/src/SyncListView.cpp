#include "BrelioApp/SyncListView.h"

#include <shlwapi.h>

#include <ctime>

#include "BrelioApp/ResourceIds.h"
#include "BrelioApp/StringIds.h"
#include "BrelioApp/UiFont.h"
#include "BrelioCore/StringTable.h"
#include "BrelioFramework/DeviceContext.h"
#include "BrelioFramework/Module.h"
#include "BrelioSync/SyncItem.h"

namespace {

constexpr DWORD kListStyle = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | LVS_REPORT |
                             LVS_OWNERDRAWFIXED | LVS_NOCOLUMNHEADER;
constexpr UINT kTextFormat = DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP;

// The badge drawn over the file icon for each kind.
int StateImageOf(int32_t kind) {
    switch (kind) {
        case SYNC_ITEM_IN_PROGRESS: return 1;
        case SYNC_ITEM_FAILED: return 2;
        default: return 0;
    }
}

}  // namespace

HWND CSyncListView::Create(HWND parent, const RECT& rect) {
    m_hWnd = ::CreateWindowExW(0, WC_LISTVIEWW, L"", kListStyle, rect.left, rect.top, rect.right - rect.left,
                               rect.bottom - rect.top, parent, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(kCtrlId)),
                               ATL::GetModuleInstance(), nullptr);
    if (m_hWnd == nullptr) return nullptr;

    m_stateImages.Reset(::ImageList_Create(32, 32, ILC_COLOR32 | ILC_MASK, 3, 3));
    for (UINT id : {IDI_STATE_DONE, IDI_STATE_IN_PROGRESS, IDI_STATE_FAILED}) {
        brelio::UniqueIcon icon(static_cast<HICON>(
            ::LoadImageW(ATL::GetModuleInstance(), MAKEINTRESOURCEW(id), IMAGE_ICON, 32, 32, LR_VGACOLOR)));
        if (icon && m_stateImages) ::ImageList_ReplaceIcon(m_stateImages.Get(), -1, icon.Get());
    }
    {
        ATL::CClientDC dc(m_hWnd);
        m_nameFont = CreateUiPointFont(dc, 100, FW_BOLD);
        m_timeFont = CreateUiPointFont(dc, 90, 0);
    }
    m_separatorPen.Reset(::CreatePen(PS_SOLID, 0, 0xEEEEEE));

    // As wide as the list leaves beside a vertical scroll bar: once the
    // lines outgrow the list and the bar comes, the column still fits and no
    // horizontal bar comes with it.
    RECT client = {};
    ::GetClientRect(m_hWnd, &client);
    m_columnWidth = client.right - client.left - ::GetSystemMetrics(SM_CXVSCROLL);
    LVCOLUMNW column = {};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
    column.fmt = LVCFMT_LEFT;
    column.cx = m_columnWidth;
    column.pszText = const_cast<wchar_t*>(L"");
    InsertColumn(0, column);
    return m_hWnd;
}

std::wstring CSyncListView::FormatTime(__time64_t time) {
    tm local = {};
    if (_localtime64_s(&local, &time) != 0) return std::wstring();
    wchar_t text[128] = L"";
    const std::wstring format = LoadStringText(IDS_TIME_FORMAT);
    if (format.empty() || wcsftime(text, 128, format.c_str(), &local) == 0) return std::wstring();
    return text;
}

const std::wstring& CSyncListView::DisplayTextOf(CSyncItem& item) {
    std::wstring& text = item.GetDisplayText();
    if (text.empty()) {
        text = item.GetKind() == SYNC_ITEM_STATUS ? item.GetPath() : ::PathFindFileNameW(item.GetPath());
        text += L'\t';
        text += FormatTime(item.GetCreated());
    }
    return text;
}

int CSyncListView::InsertSyncItem(CSyncItem* item, int position) {
    if (item == nullptr || m_hWnd == nullptr) return -1;
    const std::wstring& text = DisplayTextOf(*item);
    const std::wstring name = text.substr(0, text.find(L'\t'));
    {
        ATL::CClientDC dc(m_hWnd);
        ATL::CSelectObject font(dc, m_nameFont.Get());
        RECT measured = {0, 0, 0, 0};
        ::DrawTextW(dc, name.c_str(), static_cast<int>(name.size()), &measured, DT_CALCRECT | kTextFormat);
        const int width = measured.right - measured.left;
        if (m_columnWidth < width) {
            m_columnWidth = width + 74;
            SetColumnWidth(0, m_columnWidth);
        }
    }
    LVITEMW line = {};
    line.mask = LVIF_PARAM;
    line.iItem = position < 0 ? GetItemCount() : position;
    line.lParam = reinterpret_cast<LPARAM>(item);
    return InsertItem(line);
}

std::wstring CSyncListView::GetItemFolder(int index) const {
    if (index < 0) return std::wstring();
    CSyncItem* item = GetSyncItem(index);
    if (item == nullptr || item->GetKind() == SYNC_ITEM_STATUS) return std::wstring();
    wchar_t folder[CSyncItem::kPathCapacity] = L"";
    wcsncpy(folder, item->GetPath(), CSyncItem::kPathCapacity - 1);
    if (!item->IsFolder()) ::PathRemoveFileSpecW(folder);
    if (!::PathFileExistsW(folder)) return std::wstring();
    return folder;
}

LRESULT CSyncListView::OnMeasureItem(MEASUREITEMSTRUCT* item, BOOL& handled) {
    item->itemHeight = kLineHeight;
    handled = TRUE;
    return TRUE;
}

LRESULT CSyncListView::OnDrawItem(DRAWITEMSTRUCT* draw, BOOL& handled) {
    handled = TRUE;
    HDC dc = draw->hDC;
    const RECT line = draw->rcItem;
    ::FillRect(dc, &line, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
    auto* item = reinterpret_cast<CSyncItem*>(draw->itemData);
    if (item == nullptr) return TRUE;

    if (item->GetKind() != SYNC_ITEM_STATUS) {
        if (item->GetIconIndex() == -1) {
            item->SetIconIndex(m_fileIcons.GetIconIndex(::PathFindExtensionW(item->GetPath()), item->IsFolder()));
        }
        if (item->GetIconIndex() != -1) {
            if (m_iconOffset == -1) m_iconOffset = (line.bottom - line.top - m_fileIcons.GetHeight()) / 2;
            const int x = line.left + 14;
            const int y = line.top + m_iconOffset;
            ::ImageList_Draw(m_fileIcons.GetImageList(), item->GetIconIndex(), dc, x, y, ILD_NORMAL);
            ::ImageList_Draw(m_stateImages.Get(), StateImageOf(item->GetKind()), dc, x, y, ILD_TRANSPARENT);
        }
    }

    const std::wstring& text = DisplayTextOf(*item);
    const size_t tab = text.find(L'\t');
    const std::wstring name = text.substr(0, tab);
    const std::wstring time = tab == std::wstring::npos ? std::wstring() : text.substr(tab + 1);
    const COLORREF oldColor = ::SetTextColor(dc, 0x222222);
    const int oldMode = ::SetBkMode(dc, TRANSPARENT);
    const HGDIOBJ oldFont = ::SelectObject(dc, m_nameFont.Get());
    RECT nameRect = {line.left + 58, line.top + 13, line.right, line.top + 33};
    ::DrawTextW(dc, name.c_str(), static_cast<int>(name.size()), &nameRect, kTextFormat);
    ::SelectObject(dc, m_timeFont.Get());
    ::SetTextColor(dc, 0x555555);
    RECT timeRect = {line.left + 58, line.top + 33, line.right, line.bottom};
    ::DrawTextW(dc, time.c_str(), static_cast<int>(time.size()), &timeRect, kTextFormat);

    const HGDIOBJ oldPen = ::SelectObject(dc, m_separatorPen.Get());
    ::MoveToEx(dc, line.left, line.bottom - 1, nullptr);
    ::LineTo(dc, line.right, line.bottom - 1);

    ::SelectObject(dc, oldPen);
    ::SelectObject(dc, oldFont);
    ::SetBkMode(dc, oldMode);
    ::SetTextColor(dc, oldColor);
    return TRUE;
}
