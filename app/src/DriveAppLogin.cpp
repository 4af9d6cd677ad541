#include "BrelioApp/DriveApp.h"
#include "BrelioApp/LinksShortcut.h"
#include "BrelioApp/SignInWindows.h"
#include "BrelioApp/StringIds.h"
#include "BrelioCore/TextConvert.h"
#include "BrelioServices/DriveApi.h"
#include "BrelioServices/Log.h"
#include "BrelioServices/NavigationPane.h"
#include "BrelioServices/RequestTexts.h"
#include "BrelioServices/RestFrame.h"
#include "BrelioServices/SessionError.h"

bool CDriveApp::Login(HWND owner) {
    const bool silent = !m_settings.IsFirstRun() && m_settings.IsAutoLogin() && !m_settings.GetAccount().empty();
    if (silent) {
        if (FAILED(m_settings.LoadAccount())) {
            ShowMessage(owner, IDS_SIGN_IN_SETTINGS_WRONG, MB_ICONERROR);
            return false;
        }
        if (m_settings.HasSession()) {
            const HRESULT session = UseStoredSession(true);
            if (SUCCEEDED(session)) {
                (void)SetNavigationPaneTarget(m_settings.GetRootDir().c_str());
                (void)CheckLocalStorageVersion(owner);
                return true;
            }
            Log(L"Stored session refused(0x%x).", static_cast<unsigned>(session));
            if (IsSessionError(session)) ShowMessage(owner, IDS_DRIVE_SERVICE_DISABLED, MB_ICONERROR);
        }
    }
    return InteractiveLogin(owner);
}

HRESULT CDriveApp::UseStoredSession(bool check) {
    std::wstring header;
    const HRESULT made = MakeSessionHeader(m_settings.GetSessionId().c_str(), m_settings.GetTenant().c_str(), header);
    if (FAILED(made)) return made;
    if (check) {
        const ApiErrorCode answer = CheckDrives(header.c_str());
        if (answer != 0) return answer;
    }
    SetAuthHeader(header.c_str());
    return S_OK;
}

bool CDriveApp::InteractiveLogin(HWND owner) {
    std::wstring tenant, session;
    if (!RunInteractiveSignIn(owner, tenant, session)) return false;
    std::wstring header;
    if (FAILED(MakeSessionHeader(session.c_str(), tenant.c_str(), header))) {
        ShowMessage(owner, IDS_SIGN_IN_SETTINGS_WRONG, MB_ICONERROR);
        return false;
    }
    SetAuthHeader(header.c_str());
    RequestStatus status;
    MemberInfo member;
    if (GetMember(status, tenant.c_str(), member) != 0) {
        ShowMessage(owner, IDS_SIGN_IN_SETTINGS_WRONG, MB_ICONERROR);
        return false;
    }
    if (m_settings.SetAccount(tenant.c_str(), brelio::Utf8ToWide(member.userCode).c_str()) != ERROR_SUCCESS ||
        FAILED(m_settings.LoadAccount())) {
        ShowMessage(owner, IDS_SIGN_IN_SETTINGS_WRONG, MB_ICONERROR);
        return false;
    }
    (void)m_settings.SetSessionId(session.c_str());
    (void)m_settings.SetRootDir(nullptr);
    (void)CheckLocalStorageVersion(owner);
    (void)CreateLinksShortcut(L"BrelioDrive", m_settings.GetRootDir().c_str());
    return true;
}
