#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "BrelioCore/JXView.h"
#include "BrelioCore/UniqueHandle.h"

namespace brelio::test {

// What one WM_SYNCITEM carried, copied out of the item it owned.
struct PostedMessage {
    WPARAM what = 0;       // 1 item, 2 sign-out request
    int32_t kind = -1;     // the item's kind
    bool isFolder = false;
    std::wstring path;     // the item's path or text
    LPARAM code = 0;       // the sign-out request's session error
};

// A message-only window standing in for the status panel or the main
// frame. It belongs to the thread that made it; Drain takes what was
// posted to it so far and frees the items.
class CMessageView : public CJXView {
public:
    CMessageView();
    ~CMessageView() override;
    HWND GetViewWindow() const override { return m_window.Get(); }
    std::vector<PostedMessage> Drain();
    // Turns a posted WM_SYNCITEM into its record, freeing the item.
    static PostedMessage Take(WPARAM wParam, LPARAM lParam);

private:
    UniqueWindow m_window;
};

}  // namespace brelio::test
