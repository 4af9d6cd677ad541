#include "PanelView.h"

#include <memory>

#include "BrelioSync/SyncItem.h"

namespace brelio::test {

CPanelView::CPanelView() {
    m_window = ::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
}

CPanelView::~CPanelView() {
    Drain();
    if (m_window != nullptr) ::DestroyWindow(m_window);
}

std::vector<CPanelView::Item> CPanelView::Drain() {
    std::vector<Item> items;
    MSG msg;
    while (m_window != nullptr && ::PeekMessageW(&msg, m_window, WM_SYNCITEM, WM_SYNCITEM, PM_REMOVE)) {
        // Only what the engine posted to this window carries an item.
        if (msg.hwnd != m_window || msg.wParam != SYNCITEM_ITEM || msg.lParam == 0) continue;
        std::unique_ptr<CSyncItem> item(reinterpret_cast<CSyncItem*>(msg.lParam));
        items.push_back({item->GetKind(), item->GetPath()});
    }
    return items;
}

}  // namespace brelio::test
