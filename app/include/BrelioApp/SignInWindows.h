#pragma once
#include <windows.h>

#include <string>

// The windows the start-up and sign-out roads show, each modal with its
// own loop (counted as a nested loop of the application object).

// The tenant window, then the web sign-in for the accepted tenant: false
// when either is closed. Out: the tenant domain and the session text the
// sign-in page returned.
[[nodiscard]] bool RunInteractiveSignIn(HWND owner, std::wstring& tenant, std::wstring& session);
// The hidden web sign-out of the stored session.
void RunWebSignOut(HWND owner);
// What the options window's OK changed, for its caller.
enum OptionsResult : int {
    OPTIONS_NOTHING_TO_PASS_ON = 1,  // nothing changed, or a first run
    OPTIONS_ROOT_CHANGED = 2,
    OPTIONS_SELECTION_CHANGED = 3,
};

// The options window. Its modal result (CModalWndBase::kResultOk or
// kResultCancel); `changes` is OPTIONS_ROOT_CHANGED when the sync folder
// changed, OPTIONS_SELECTION_CHANGED when only the selection or other
// folder settings did, else 0.
INT_PTR RunOptionsWindow(HWND owner, int& changes);
