#pragma once
#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace brelio::test {

// Answers the update's message boxes (or, with another caption, the
// program's), in whatever process they appear:
// each new top-level dialog of that caption gets the next
// button of the list (IDOK, IDYES, IDNO, IDRETRY, IDCANCEL) and its text
// is recorded. A box beyond the list is declined (Cancel, No or OK) and
// recorded as well, so a test that did not expect it fails instead of
// hanging.
class CBoxAnswerer {
public:
    // Called on the watching thread with the box's index before its button
    // is pressed.
    using BeforeAnswer = std::function<void(size_t index)>;
    explicit CBoxAnswerer(std::vector<int> buttons = {}, BeforeAnswer beforeAnswer = {},
                          std::wstring caption = L"Brelio! Update");
    ~CBoxAnswerer();
    CBoxAnswerer(const CBoxAnswerer&) = delete;
    CBoxAnswerer& operator=(const CBoxAnswerer&) = delete;

    // The texts of the boxes answered so far, in order.
    std::vector<std::wstring> Texts() const;
    // Waits (bounded) until `count` boxes have been answered.
    bool WaitForBoxes(size_t count, DWORD timeoutMs = 120000) const;

private:
    void Watch();
    void Answer(HWND box);

    std::vector<int> m_buttons;
    BeforeAnswer m_beforeAnswer;
    std::wstring m_caption;
    std::vector<HWND> m_answered;
    mutable std::mutex m_lock;
    std::vector<std::wstring> m_texts;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

// The text of one of the update library's strings, as a box shows it.
std::wstring UpdateString(UINT id);
// `format`'s %s replaced by `argument`.
std::wstring UpdateStringWith(UINT id, const std::wstring& argument);

}  // namespace brelio::test
