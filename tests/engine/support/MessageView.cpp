#include "MessageView.h"

#include <memory>

#include "BrelioSync/SyncItem.h"

namespace brelio::test {

CMessageView::CMessageView() {
    m_window.Reset(::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr));
}

CMessageView::~CMessageView() {
    Drain();
}

PostedMessage CMessageView::Take(WPARAM wParam, LPARAM lParam) {
    PostedMessage posted;
    posted.what = wParam;
    if (wParam == SYNCITEM_ITEM) {
        std::unique_ptr<CSyncItem> item(reinterpret_cast<CSyncItem*>(lParam));
        posted.kind = item->GetKind();
        posted.isFolder = item->IsFolder();
        posted.path = item->GetPath();
    } else {
        posted.code = lParam;
    }
    return posted;
}

std::vector<PostedMessage> CMessageView::Drain() {
    std::vector<PostedMessage> messages;
    MSG msg;
    while (m_window && ::PeekMessageW(&msg, m_window.Get(), WM_SYNCITEM, WM_SYNCITEM, PM_REMOVE)) {
        // Wine hands out a waiting WM_QUIT whatever the filter: put it back
        // for the loop it belongs to rather than take it for an item.
        if (msg.message == WM_QUIT) {
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (msg.message != WM_SYNCITEM) continue;
        messages.push_back(Take(msg.wParam, msg.lParam));
    }
    return messages;
}

}  // namespace brelio::test
