#include "DialogScript.h"

namespace brelio::test {
namespace {

constexpr UINT kDialogReady = WM_APP + 101;
constexpr UINT kRunPosted = WM_APP + 102;
constexpr wchar_t kHelperClass[] = L"BrelioTest.DialogScript";

thread_local CDialogScript* t_script = nullptr;

BOOL CALLBACK CollectStaticText(HWND child, LPARAM param) {
    wchar_t className[32] = L"";
    ::GetClassNameW(child, className, 32);
    if (_wcsicmp(className, L"Static") != 0) return TRUE;
    if ((::GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) return TRUE;
    wchar_t text[2048] = L"";
    ::GetWindowTextW(child, text, 2048);
    *reinterpret_cast<std::wstring*>(param) += text;
    return TRUE;
}

bool IsMessageBox(HWND dialog) {
    // The program's boxes carry its name as caption and no tree or edit.
    wchar_t caption[256] = L"";
    ::GetWindowTextW(dialog, caption, 256);
    return wcscmp(caption, L"Brelio! Drive") == 0;
}

}  // namespace

CDialogScript::CDialogScript() {
    WNDCLASSW info = {};
    info.lpfnWndProc = HelperProc;
    info.hInstance = ::GetModuleHandleW(nullptr);
    info.lpszClassName = kHelperClass;
    ::RegisterClassW(&info);  // a second script finds it registered
    m_helper = ::CreateWindowExW(0, kHelperClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 ::GetModuleHandleW(nullptr), nullptr);
    t_script = this;
    m_hook = ::SetWindowsHookExW(WH_CALLWNDPROCRET, HookProc, nullptr, ::GetCurrentThreadId());
}

CDialogScript::~CDialogScript() {
    if (m_hook != nullptr) ::UnhookWindowsHookEx(m_hook);
    t_script = nullptr;
    if (m_helper != nullptr) ::DestroyWindow(m_helper);
}

void CDialogScript::OnNextDialog(DialogStep step) { m_dialogSteps.push_back(std::move(step)); }

void CDialogScript::AnswerBox(int button) {
    OnNextDialog([button](HWND box) {
        ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                       reinterpret_cast<LPARAM>(::GetDlgItem(box, button)));
    });
}

void CDialogScript::Post(std::function<void()> step) {
    m_posted.push_back(std::move(step));
    ::PostMessageW(m_helper, kRunPosted, 0, 0);
}

void CDialogScript::Pump() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

std::wstring CDialogScript::BoxText(HWND box) {
    std::wstring text;
    ::EnumChildWindows(box, CollectStaticText, reinterpret_cast<LPARAM>(&text));
    return text;
}

LRESULT CALLBACK CDialogScript::HookProc(int code, WPARAM wParam, LPARAM lParam) {
    const auto* call = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    if (code == HC_ACTION && t_script != nullptr && call->message == WM_INITDIALOG &&
        (::GetWindowLongW(call->hwnd, GWL_STYLE) & WS_CHILD) == 0) {
        ::PostMessageW(t_script->m_helper, kDialogReady, 0, reinterpret_cast<LPARAM>(call->hwnd));
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK CDialogScript::HelperProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (t_script != nullptr && message == kDialogReady) {
        t_script->DialogReady(reinterpret_cast<HWND>(lParam));
        return 0;
    }
    if (t_script != nullptr && message == kRunPosted) {
        t_script->RunPosted();
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

void CDialogScript::DialogReady(HWND dialog) {
    if (!::IsWindow(dialog)) return;  // it ended inside its own start
    if (IsMessageBox(dialog)) m_boxTexts.push_back(BoxText(dialog));
    if (m_dialogSteps.empty()) {
        wchar_t caption[256] = L"";
        ::GetWindowTextW(dialog, caption, 256);
        m_unexpected.push_back(std::wstring(caption) + L": " + BoxText(dialog));
        const int button = ::GetDlgItem(dialog, IDCANCEL) ? IDCANCEL : ::GetDlgItem(dialog, IDNO) ? IDNO : IDOK;
        ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                       reinterpret_cast<LPARAM>(::GetDlgItem(dialog, button)));
        return;
    }
    DialogStep step = std::move(m_dialogSteps.front());
    m_dialogSteps.pop_front();
    step(dialog);
}

void CDialogScript::RunPosted() {
    if (m_posted.empty()) return;
    std::function<void()> step = std::move(m_posted.front());
    m_posted.pop_front();
    step();
}

}  // namespace brelio::test
