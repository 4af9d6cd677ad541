// brelio_tray_tool: does to a running BrelioDrive what a person does with
// its tray icon, for the demo and for people trying the program by hand.
//   wait <seconds>  until the program's main frame exists (exit code 0), else 1
//   open            a left click on the tray icon: the status window shows
//   shot <name>     the status window into build/screenshots/<name>.png
//   exit            the tray menu opened with a right click, Exit clicked;
//                   0 once the main frame is gone
#include <windows.h>
#include <objidl.h>

#include <gdiplus.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "BrelioApp/TrayIconMessage.h"
#include "WindowPixels.h"

namespace {

HWND FindFrame() { return ::FindWindowW(L"BrelioDrive.MainFrame", nullptr); }

bool WaitFor(bool (*condition)(), DWORD milliseconds) {
    const ULONGLONG deadline = ::GetTickCount64() + milliseconds;
    while (!condition()) {
        if (::GetTickCount64() >= deadline) return false;
        ::Sleep(100);
    }
    return true;
}

bool FrameExists() { return FindFrame() != nullptr; }
bool FrameGone() { return FindFrame() == nullptr; }
bool MenuOpen() { return ::FindWindowW(L"#32768", nullptr) != nullptr; }

void TrayEvent(HWND frame, UINT event) { ::PostMessageW(frame, WM_TRAYICON, 0, MAKELPARAM(event, 1)); }

void PressKey(WORD key) {
    INPUT inputs[2] = {};
    inputs[0].type = INPUT_KEYBOARD;
    inputs[0].ki.wVk = key;
    inputs[1].type = INPUT_KEYBOARD;
    inputs[1].ki.wVk = key;
    inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
    ::SendInput(2, inputs, sizeof(INPUT));
}

// Exit is the menu's last item: from no selection, Up reaches it.
int ChooseExit(HWND frame) {
    TrayEvent(frame, WM_CONTEXTMENU);
    if (!WaitFor(MenuOpen, 10000)) {
        std::fprintf(stderr, "the tray menu did not open\n");
        return 1;
    }
    PressKey(VK_UP);
    PressKey(VK_RETURN);
    if (WaitFor(FrameGone, 30000)) return 0;
    std::fprintf(stderr, "the program did not end after Exit\n");
    return 1;
}

int Run(int argc, wchar_t** argv) {
    if (argc < 2) return 2;
    const std::wstring command = argv[1];
    if (command == L"wait") {
        const DWORD seconds = argc > 2 ? static_cast<DWORD>(_wtoi(argv[2])) : 60;
        return WaitFor(FrameExists, seconds * 1000) ? 0 : 1;
    }
    const HWND frame = FindFrame();
    if (frame == nullptr) {
        std::fprintf(stderr, "BrelioDrive is not running\n");
        return 1;
    }
    if (command == L"open") {
        TrayEvent(frame, WM_LBUTTONDOWN);
        return 0;
    }
    if (command == L"shot" && argc > 2) {
        const std::wstring path = brelio::test::SaveWindowShot(frame, argv[2]);
        if (path.empty()) return 1;
        std::printf("%ls\n", path.c_str());
        return 0;
    }
    if (command == L"exit") return ChooseExit(frame);
    return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartup(&token, &input, nullptr);
    const int result = Run(argc, argv);
    Gdiplus::GdiplusShutdown(token);
    return result;
}
