#include "SigninSteps.h"

#include <memory>

#include "BrelioApp/WebAddress.h"
#include "BrelioCore/TextConvert.h"
#include "BrelioServices/DriveApi.h"
#include "BrelioServices/RequestTexts.h"
#include "StandinControl.h"

namespace brelio::test {

namespace {

constexpr UINT kRunStep = WM_APP + 7;

LRESULT CALLBACK StepProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kRunStep) {
        std::unique_ptr<std::function<void()>> step(reinterpret_cast<std::function<void()>*>(lParam));
        (*step)();
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

HWND StepWindow() {
    static HWND window = [] {
        WNDCLASSEXW wc = {};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = StepProc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"BrelioTest.Steps";
        ::RegisterClassExW(&wc);
        return ::CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance,
                                 nullptr);
    }();
    return window;
}

struct Search {
    const wchar_t* className;
    HWND owner;
    HWND found;
};

}  // namespace

void PostStep(std::function<void()> step) {
    auto* heap = new std::function<void()>(std::move(step));
    if (!::PostMessageW(StepWindow(), kRunStep, 0, reinterpret_cast<LPARAM>(heap))) delete heap;
}

HWND FindThreadWindow(const wchar_t* className) {
    Search search = {className, nullptr, nullptr};
    ::EnumThreadWindows(
        ::GetCurrentThreadId(),
        [](HWND window, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            wchar_t name[128] = L"";
            ::GetClassNameW(window, name, 128);
            if (lstrcmpW(name, s->className) != 0) return TRUE;
            if (s->owner != nullptr && ::GetWindow(window, GW_OWNER) != s->owner) return TRUE;
            s->found = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND FindMessageBox(HWND owner, std::wstring* text) {
    Search search = {L"#32770", owner, nullptr};
    ::EnumThreadWindows(
        ::GetCurrentThreadId(),
        [](HWND window, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            wchar_t name[128] = L"";
            ::GetClassNameW(window, name, 128);
            if (lstrcmpW(name, s->className) != 0 || ::GetWindow(window, GW_OWNER) != s->owner) return TRUE;
            s->found = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    if (search.found != nullptr && text != nullptr) {
        wchar_t buffer[512] = L"";
        ::GetDlgItemTextW(search.found, 0xFFFF, buffer, 512);
        *text = buffer;
    }
    return search.found;
}

void PumpWaitingMessages() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

std::wstring TenantAddress(const std::string& tenant, const wchar_t* path) {
    std::wstring address;
    (void)BuildTenantWebAddress(Utf8ToWide(tenant).c_str(), path, address);
    return address;
}

std::string MakeTenant(const std::string& tenant) {
    Json::Value body;
    body["tenant"] = tenant;
    body["userCode"] = "owner@" + tenant;
    body["name"] = "Owner";
    return ControlPost("/accounts", body)["tenantId"].asString();
}

bool SessionWorks(const std::wstring& session, const std::string& tenant) {
    std::wstring header;
    if (FAILED(MakeSessionHeader(session.c_str(), Utf8ToWide(tenant).c_str(), header))) return false;
    return CheckDrives(header.c_str()) == 0;
}

}  // namespace brelio::test
