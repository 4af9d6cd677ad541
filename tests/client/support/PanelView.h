#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "BrelioCore/JXView.h"

namespace brelio::test {

// Stands where the status panel takes the engine's items: a message-only
// window of the test thread. Drain returns the status texts and paths of
// the items posted to it so far and frees them.
class CPanelView : public CJXView {
public:
    struct Item {
        int kind;
        std::wstring path;
    };
    CPanelView();
    ~CPanelView() override;
    HWND GetViewWindow() const override { return m_window; }
    std::vector<Item> Drain();

private:
    HWND m_window = nullptr;
};

}  // namespace brelio::test
