#include "BrelioApp/SignInWindows.h"

#include "BrelioApp/DriveApp.h"
#include "BrelioApp/LoginWnd.h"
#include "BrelioApp/LogoutWnd.h"
#include "BrelioApp/TenantWnd.h"

bool RunInteractiveSignIn(HWND owner, std::wstring& tenant, std::wstring& session) {
    tenant.clear();
    session.clear();
    CDriveApp::CNestedLoop windows;
    CTenantWnd tenantWindow;
    if (tenantWindow.DoModal(owner) != CModalWndBase::kResultOk) return false;
    CLoginWnd loginWindow(tenantWindow.GetTenantDomain());
    if (loginWindow.DoModal(owner) != CModalWndBase::kResultOk) return false;
    tenant = tenantWindow.GetTenantDomain();
    session = loginWindow.GetSession();
    return true;
}

void RunWebSignOut(HWND owner) {
    CDriveApp::CNestedLoop window;
    CLogoutWnd logoutWindow;
    (void)logoutWindow.DoModal(owner);
}
