#include "BrelioApp/OptionsWnd.h"
#include "BrelioApp/StringIds.h"
#include "BrelioCore/StringTable.h"
#include "BrelioCore/UniqueHandle.h"
#include "BrelioFramework/DeviceContext.h"

namespace {

constexpr COLORREF kPaneColor = RGB(0xF2, 0xF2, 0xF2);
constexpr COLORREF kSelectedColor = 0xCC7A00;
constexpr COLORREF kWhite = RGB(0xFF, 0xFF, 0xFF);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr int kHeaderIndent = 8;
constexpr int kRowIndent = 24;

void Fill(HDC dc, const RECT& rect, COLORREF color) {
    const brelio::UniqueBrush brush(::CreateSolidBrush(color));
    ::FillRect(dc, &rect, brush.Get());
}

}  // namespace

void COptionsNavPane::CreateItems(const RECT& pane) {
    RECT row = {0, 0, pane.right - pane.left, kRowHeight};
    AddItem(IDS_NAV_SYNC_SETTINGS, true, row, -1, false);
    ::OffsetRect(&row, 0, kRowHeight);
    AddItem(IDS_NAV_FOLDERS, false, row, ID_PAGE_FOLDER, true);
    ::OffsetRect(&row, 0, kRowHeight);
    AddItem(IDS_NAV_LOGIN, false, row, ID_PAGE_LOGIN, false);
}

void COptionsNavPane::AddItem(UINT stringId, bool isHeader, const RECT& rect, int command, bool selected) {
    auto item = std::make_unique<NavItem>();
    item->isHeader = isHeader;
    item->selected = selected;
    item->text = LoadStringText(stringId);
    item->rect = rect;
    item->command = command;
    if (selected) m_current = item.get();
    m_items.push_back(std::move(item));
}

LRESULT COptionsNavPane::OnEraseBackground(UINT, WPARAM wParam, LPARAM, BOOL&) {
    RECT client;
    GetClientRect(&client);
    Fill(reinterpret_cast<HDC>(wParam), client, kPaneColor);
    return 0;
}

LRESULT COptionsNavPane::OnPaint(UINT, WPARAM, LPARAM, BOOL&) {
    ATL::CPaintDC dc(m_hWnd);
    ATL::CSelectObject font(dc, m_font);
    for (const auto& item : m_items) {
        const COLORREF fill = item->selected ? kSelectedColor : kPaneColor;
        Fill(dc, item->rect, fill);
        ::SetTextColor(dc, item->selected ? kWhite : kBlack);
        ::SetBkColor(dc, fill);
        RECT text = item->rect;
        text.left += item->isHeader ? kHeaderIndent : kRowIndent;
        ::DrawTextW(dc, item->text.c_str(), static_cast<int>(item->text.size()), &text, DT_SINGLELINE | DT_VCENTER);
    }
    return 0;
}

LRESULT COptionsNavPane::OnSetFont(UINT, WPARAM wParam, LPARAM lParam, BOOL&) {
    m_font = reinterpret_cast<HFONT>(wParam);
    if (LOWORD(lParam) != 0) Invalidate(TRUE);
    return 0;
}

LRESULT COptionsNavPane::OnLButtonDown(UINT, WPARAM, LPARAM lParam, BOOL&) {
    // Signed: a point left of or above the pane is negative.
    const POINT point = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    NavItem* chosen = nullptr;
    for (const auto& item : m_items) {
        if (::PtInRect(&item->rect, point)) {
            chosen = item.get();
            break;
        }
    }
    if (chosen == nullptr || chosen->isHeader || chosen == m_current) return 0;
    const int leaving = m_current != nullptr ? m_current->command : -1;
    // The page being left may refuse (its message is shown by then).
    if (::SendMessageW(GetParent(), WM_SYNCITEM, SYNCITEM_MAY_LEAVE_PAGE, leaving) != 1) return 0;
    if (m_current != nullptr) m_current->selected = false;
    chosen->selected = true;
    m_current = chosen;
    Invalidate(TRUE);
    UpdateWindow();
    ::PostMessageW(GetParent(), WM_COMMAND, MAKEWPARAM(chosen->command, 0), 0);
    return 0;
}
