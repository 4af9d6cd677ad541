#include "BoxAnswerer.h"

#include <algorithm>

#include "BrelioUpdate/UpdateMessages.h"

namespace brelio::test {
namespace {

std::wstring WindowText(HWND window) {
    wchar_t text[2048] = L"";
    ::GetWindowTextW(window, text, 2048);
    return text;
}

BOOL CALLBACK CollectStaticText(HWND child, LPARAM param) {
    wchar_t className[32] = L"";
    ::GetClassNameW(child, className, 32);
    if (_wcsicmp(className, L"Static") == 0 && (::GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON) {
        const std::wstring text = WindowText(child);
        if (!text.empty()) *reinterpret_cast<std::wstring*>(param) += text;
    }
    return TRUE;
}

BOOL CALLBACK FindButton(HWND child, LPARAM param) {
    wchar_t className[32] = L"";
    ::GetClassNameW(child, className, 32);
    if (_wcsicmp(className, L"Button") != 0) return TRUE;
    *reinterpret_cast<bool*>(param) = true;
    return FALSE;
}

struct BoxSearch {
    const std::wstring* caption;
    std::vector<HWND> boxes;
};

// A message box, not the progress dialog of the same caption: it has buttons.
BOOL CALLBACK CollectBoxes(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<BoxSearch*>(param);
    wchar_t className[32] = L"";
    ::GetClassNameW(window, className, 32);
    if (wcscmp(className, L"#32770") != 0 || !::IsWindowVisible(window) || WindowText(window) != *search->caption)
        return TRUE;
    bool hasButton = false;
    ::EnumChildWindows(window, FindButton, reinterpret_cast<LPARAM>(&hasButton));
    if (hasButton) search->boxes.push_back(window);
    return TRUE;
}

}  // namespace

CBoxAnswerer::CBoxAnswerer(std::vector<int> buttons, BeforeAnswer beforeAnswer, std::wstring caption)
    : m_buttons(std::move(buttons)),
      m_beforeAnswer(std::move(beforeAnswer)),
      m_caption(std::move(caption)),
      m_thread([this] { Watch(); }) {}

CBoxAnswerer::~CBoxAnswerer() {
    m_stop = true;
    m_thread.join();
}

std::vector<std::wstring> CBoxAnswerer::Texts() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_texts;
}

bool CBoxAnswerer::WaitForBoxes(size_t count, DWORD timeoutMs) const {
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    for (;;) {
        {
            std::lock_guard<std::mutex> guard(m_lock);
            if (m_texts.size() >= count) return true;
        }
        if (::GetTickCount64() > deadline) return false;
        ::Sleep(50);
    }
}

void CBoxAnswerer::Watch() {
    while (!m_stop) {
        BoxSearch search{&m_caption, {}};
        ::EnumWindows(CollectBoxes, reinterpret_cast<LPARAM>(&search));
        const std::vector<HWND>& boxes = search.boxes;
        // A closed box's handle may come back for a later one.
        std::erase_if(m_answered, [](HWND window) { return !::IsWindow(window); });
        for (HWND box : boxes) {
            if (std::find(m_answered.begin(), m_answered.end(), box) == m_answered.end()) Answer(box);
        }
        ::Sleep(50);
    }
}

void CBoxAnswerer::Answer(HWND box) {
    std::wstring text;
    ::EnumChildWindows(box, CollectStaticText, reinterpret_cast<LPARAM>(&text));
    // A box the test did not expect is closed by the button that declines.
    int button = ::GetDlgItem(box, IDCANCEL) ? IDCANCEL : ::GetDlgItem(box, IDNO) ? IDNO : IDOK;
    size_t index = 0;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        index = m_texts.size();
        if (index < m_buttons.size()) button = m_buttons[index];
    }
    if (m_beforeAnswer) m_beforeAnswer(index);
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_texts.push_back(text);
    }
    m_answered.push_back(box);
    ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(box, button)));
}

std::wstring UpdateString(UINT id) { return LoadUpdateString(id); }

std::wstring UpdateStringWith(UINT id, const std::wstring& argument) {
    std::wstring text = LoadUpdateString(id);
    const size_t at = text.find(L"%s");
    if (at != std::wstring::npos) text.replace(at, 2, argument);
    return text;
}

}  // namespace brelio::test
