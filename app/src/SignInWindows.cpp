#include "BrelioApp/SignInWindows.h"

#include "BrelioApp/DriveApp.h"
#include "BrelioApp/ModalWndBase.h"

// The sign-in, sign-out and options windows are not part of this program
// yet: the interactive sign-in fails, there is nothing to sign out of on
// the web, and the options are taken as they stand.
bool RunInteractiveSignIn(HWND, std::wstring& tenant, std::wstring& session) {
    tenant.clear();
    session.clear();
    return false;
}

void RunWebSignOut(HWND) {}

INT_PTR RunOptionsWindow(HWND, int& changes) {
    changes = 0;
    return CModalWndBase::kResultOk;
}
