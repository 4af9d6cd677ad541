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
// The options window. Its modal result (1 OK, 2 cancelled); `changes` is
// 2 when the sync folder changed, 3 when only the selection or other
// folder settings did, else 0.
INT_PTR RunOptionsWindow(HWND owner, int& changes);
