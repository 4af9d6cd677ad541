#include "BrelioApp/SyncView.h"

#include <shellapi.h>

#include <ctime>
#include <memory>

#include "BrelioApp/DriveApp.h"
#include "BrelioApp/ResourceIds.h"
#include "BrelioApp/StringIds.h"
#include "BrelioApp/UiFont.h"
#include "BrelioApp/WebAddress.h"
#include "BrelioCore/StringTable.h"
#include "BrelioCore/WideFormat.h"
#include "BrelioFramework/DeviceContext.h"
#include "BrelioFramework/Module.h"

namespace {

constexpr int kHeaderBottom = 36;  // the header line's y
constexpr int kStatusBarHeight = 37;

std::wstring NowText() { return CSyncListView::FormatTime(_time64(nullptr)); }

// A status message with the time: "<text>(<time>)." The text's own final
// stops go, Latin or Japanese, or they would stand before the time.
std::wstring StatusWithTime(std::wstring text, const std::wstring& time) {
    while (!text.empty() && (text.back() == L'.' || text.back() == L'\u3002')) text.pop_back();
    return text + L'(' + time + L").";
}

}  // namespace

CSyncView::~CSyncView() { RemoveAllControls(); }

HWND CSyncView::Create(HWND parent, const RECT& rect) {
    if (ATL::CWindowImpl<CSyncView, ATL::CWindow, ATL::CControlWinTraits>::Create(parent, rect) == nullptr) {
        return nullptr;
    }
    RECT area;
    GetClientRect(&area);
    m_borderPen.Reset(::CreatePen(PS_SOLID, 0, 0xC0C0C0));
    m_headerLinePen.Reset(::CreatePen(PS_SOLID, 0, 0xDDDDDD));
    {
        ATL::CClientDC dc(m_hWnd);
        m_titleFont = CreateUiPointFont(dc, 100, 0);
        m_smallFont = CreateUiPointFont(dc, 90, 0);
    }

    ::InflateRect(&area, -1, -1);
    const int width = area.right + 1;  // the client width W
    struct Button {
        UINT id;
        UINT image;
        int right;  // distance of the right edge from W
    };
    const Button buttons[] = {{kOptionsButtonId, IDP_BUTTON_OPTIONS, 7},
                              {kFolderButtonId, IDP_BUTTON_FOLDER, 43},
                              {kWebButtonId, IDP_BUTTON_WEB, 79}};
    // A panel without one of its parts is no panel: the caller gets none.
    bool complete = true;
    for (const Button& b : buttons) {
        CJXImageButton& button = m_buttons[b.id - kWebButtonId];
        AddControl(&button);
        const RECT place = {width - b.right - 24, 7, width - b.right, 31};
        complete = complete && button.Create(m_hWnd, place, L"", b.id) != nullptr;
        button.LoadImages(ATL::GetModuleInstance(), b.image, L"PNG");
        button.SetColors(0xFFFFFF, 0xF5F1F0, 0xFFFFFF);
    }

    RECT listArea = area;
    listArea.top += kHeaderBottom;
    listArea.bottom -= kStatusBarHeight;
    AddControl(&m_list);
    complete = complete && m_list.Create(m_hWnd, listArea) != nullptr;

    const RECT statusArea = {area.left, listArea.bottom, area.right, listArea.bottom + kStatusBarHeight};
    complete = complete && m_statusBar.Create(m_hWnd, statusArea) != nullptr;
    m_statusBar.SetFont(m_smallFont.Get());
    if (!complete) {
        DestroyWindow();
        return nullptr;
    }
    return m_hWnd;
}

void CSyncView::DeleteAllItems() {
    if (m_list.m_hWnd != nullptr) m_list.DeleteAllItems();
}

void CSyncView::Clear() {
    DeleteAllItems();
    m_statusBar.SetText(std::wstring());
}

std::wstring CSyncView::DrivePageAddress() {
    std::wstring address;
    const std::wstring tenant = CDriveApp::GetInstance()->GetSettings().GetTenant();
    if (FAILED(BuildTenantWebAddress(tenant.c_str(), kDrivePagePath, address))) return std::wstring();
    return address;
}

void CSyncView::OpenWithShell(const wchar_t* verb, const std::wstring& target) {
    ::ShellExecuteW(nullptr, verb, target.c_str(), nullptr, nullptr, SW_SHOW);
}

LRESULT CSyncView::OnPaint(UINT, WPARAM, LPARAM, BOOL&) {
    ATL::CPaintDC dc(m_hWnd);
    const int oldMode = ::SetBkMode(dc, TRANSPARENT);
    const COLORREF oldColor = ::SetTextColor(dc, 0x222222);
    {
        ATL::CSelectObject font(dc, m_titleFont.Get());
        const std::wstring title = LoadStringText(IDS_APP_TITLE);
        ::TextOutW(dc, 37, 10, title.c_str(), static_cast<int>(title.size()));
    }
    const int iconSize = ::GetSystemMetrics(SM_CYSMICON);
    ::DrawIconEx(dc, 14, (kHeaderBottom - iconSize) / 2, LoadProgramIcon(true), 0, 0, 0, nullptr, DI_NORMAL);
    ::SetTextColor(dc, oldColor);
    ::SetBkMode(dc, oldMode);
    return 0;
}

LRESULT CSyncView::OnEraseBackground(UINT, WPARAM wParam, LPARAM, BOOL&) {
    HDC dc = reinterpret_cast<HDC>(wParam);
    RECT client;
    GetClientRect(&client);
    {
        ATL::CSelectObject pen(dc, m_borderPen.Get());
        ATL::CSelectObject brush(dc, ::GetStockObject(NULL_BRUSH));
        ::Rectangle(dc, client.left, client.top, client.right, client.bottom);
    }
    const RECT header = {client.left + 1, client.top + 1, client.right - 1, client.top + 1 + 35};
    ::FillRect(dc, &header, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
    ATL::CSelectObject pen(dc, m_headerLinePen.Get());
    ::MoveToEx(dc, client.left + 1, kHeaderBottom, nullptr);
    ::LineTo(dc, client.right - 1, kHeaderBottom);
    return 1;
}

LRESULT CSyncView::OnDeleteItem(int, NMHDR* header, BOOL&) {
    const auto* deleted = reinterpret_cast<const NMLISTVIEW*>(header);
    delete reinterpret_cast<CSyncItem*>(deleted->lParam);
    return 0;
}

LRESULT CSyncView::OnDoubleClick(int, NMHDR* header, BOOL& handled) {
    if (header->hwndFrom != m_list.m_hWnd) {
        handled = FALSE;
        return 0;
    }
    const auto* click = reinterpret_cast<const NMITEMACTIVATE*>(header);
    const std::wstring folder = m_list.GetItemFolder(click->iItem);
    if (!folder.empty()) OpenWithShell(L"explore", folder);
    return 0;
}

LRESULT CSyncView::OnWebButton(WORD, WORD, HWND, BOOL&) {
    const std::wstring address = DrivePageAddress();
    if (!address.empty()) OpenWithShell(L"open", address);
    return 0;
}

LRESULT CSyncView::OnFolderButton(WORD, WORD, HWND, BOOL&) {
    OpenWithShell(L"explore", CDriveApp::GetInstance()->GetSettings().GetRootDir());
    return 0;
}

LRESULT CSyncView::OnOptionsButton(WORD, WORD, HWND, BOOL&) {
    CDriveApp::GetInstance()->PostToMainFrame(WM_COMMAND, kOptionsButtonId, 0);
    return 0;
}

void CSyncView::ShowStatus(const std::wstring& text, bool isWarning) {
    if (m_warningShown && !isWarning) return;
    m_warningShown = isWarning;
    m_statusBar.SetText(text);
}

void CSyncView::InsertOrFree(CSyncItem* item) {
    const int index = m_list.InsertSyncItem(item, -1);
    if (index < 0) {
        delete item;
        return;
    }
    m_list.EnsureVisible(index, FALSE);
}

LRESULT CSyncView::OnSyncItem(UINT, WPARAM wParam, LPARAM lParam, BOOL&) {
    if (wParam != SYNCITEM_ITEM) return 0;
    auto* item = reinterpret_cast<CSyncItem*>(lParam);
    if (item == nullptr) return 0;

    if (item->GetKind() == SYNC_ITEM_STATUS) {
        std::unique_ptr<CSyncItem> owned(item);
        const std::wstring message = item->GetPath();
        // A pass ends completed, or with what kept it from that: the sync
        // folder missing or empty, items not synced. That warning outlives
        // the next passes' start and work until one of them completes.
        if (message == LoadStringText(IDS_SYNC_COMPLETED)) m_warningShown = false;
        const bool warning =
            message == LoadStringText(IDS_SYNC_FOLDER_GONE) || message == LoadStringText(IDS_SYNC_INCOMPLETE);
        ShowStatus(StatusWithTime(message, NowText()), warning);
        return 0;
    }
    if (item->GetKind() == SYNC_ITEM_IN_PROGRESS) {
        InsertOrFree(item);
        std::wstring status;
        if (brelio::FormatWide(status, LoadStringText(IDS_SYNC_IN_PROGRESS).c_str(), NowText().c_str()))
            ShowStatus(status, false);
        return 0;
    }
    // A result replaces the in-progress line of the same item when that is
    // the last line; its name and time stay.
    const int last = m_list.GetItemCount() - 1;
    CSyncItem* previous = last >= 0 ? m_list.GetSyncItem(last) : nullptr;
    if (previous != nullptr && previous->GetKind() == SYNC_ITEM_IN_PROGRESS &&
        _wcsicmp(previous->GetPath(), item->GetPath()) == 0) {
        previous->SetKind(item->GetKind());
        delete item;
        m_list.RedrawItems(last, last);
        m_list.EnsureVisible(last, FALSE);
        return 0;
    }
    InsertOrFree(item);
    return 0;
}
