#include "StoredSignIn.h"

#include <gtest/gtest.h>

#include "BrelioCore/TextConvert.h"
#include "BrelioServices/GlobalSettings.h"
#include "BrelioServices/RegistryLayout.h"
#include "BrelioServices/Settings.h"

namespace brelio::test {

std::wstring StoredAccountName(const StandinAccount& account) { return L"tester@" + Utf8ToWide(account.tenant); }

void RemoveSettings() { ::RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKeyPath); }

void StoreSignIn(const StandinAccount& account, const std::wstring& syncFolder, const StoredSignIn& how) {
    RemoveSettings();
    CSettings settings;
    ASSERT_GE(settings.LoadGlobal(), 0);
    ASSERT_EQ(settings.SetAccount(Utf8ToWide(account.tenant).c_str(), L"tester"), ERROR_SUCCESS);
    ASSERT_EQ(settings.LoadAccount(), S_OK);
    ASSERT_EQ(settings.SetRootDir(syncFolder.c_str()), S_OK);
    if (how.withSession) ASSERT_EQ(settings.SetSessionId(Utf8ToWide(account.session).c_str()), ERROR_SUCCESS);
    ASSERT_EQ(settings.SetAutoLogin(how.autoLogin), ERROR_SUCCESS);
    ASSERT_EQ(SetFirstRun(how.firstRun), ERROR_SUCCESS);
}

std::wstring ReadSettingText(const std::wstring& subkey, const wchar_t* name) {
    std::wstring path = kSettingsKeyPath;
    if (!subkey.empty()) path += L"\\" + subkey;
    wchar_t value[1024] = L"";
    DWORD size = sizeof(value) - sizeof(wchar_t);
    if (::RegGetValueW(HKEY_CURRENT_USER, path.c_str(), name, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS)
        return L"";
    return value;
}

long ReadSettingNumber(const wchar_t* name) {
    DWORD value = 0;
    DWORD size = sizeof(value);
    if (::RegGetValueW(HKEY_CURRENT_USER, kSettingsKeyPath, name, RRF_RT_REG_DWORD, nullptr, &value, &size) !=
        ERROR_SUCCESS)
        return -1;
    return static_cast<long>(value);
}

void WriteSettingNumber(const wchar_t* name, DWORD value) {
    ASSERT_EQ(::RegSetKeyValueW(HKEY_CURRENT_USER, kSettingsKeyPath, name, REG_DWORD, &value, sizeof(value)),
              ERROR_SUCCESS);
}

HWND FindTopWindow(const wchar_t* className, DWORD processId, WindowVisibility visibility) {
    struct Search {
        const wchar_t* className;
        DWORD processId;
        WindowVisibility visibility;
        HWND found;
    } search{className, processId, visibility, nullptr};
    ::EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            wchar_t name[64] = L"";
            ::GetClassNameW(window, name, 64);
            if (wcscmp(name, s->className) != 0) return TRUE;
            DWORD owner = 0;
            ::GetWindowThreadProcessId(window, &owner);
            if (s->processId != 0 && owner != s->processId) return TRUE;
            if (s->visibility == WindowVisibility::VisibleOnly && !::IsWindowVisible(window)) return TRUE;
            s->found = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool PumpUntil(const std::function<bool()>& condition, DWORD milliseconds) {
    const ULONGLONG deadline = ::GetTickCount64() + milliseconds;
    for (;;) {
        if (condition()) return true;
        if (::GetTickCount64() >= deadline) return false;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                // Left for the caller's own check.
                ::PostQuitMessage(static_cast<int>(msg.wParam));
                return condition();
            }
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
}

CWindowCloser::CWindowCloser(const wchar_t* className) : m_className(className) {
    m_thread = ::CreateThread(nullptr, 0, &CWindowCloser::Watch, this, 0, nullptr);
}

CWindowCloser::~CWindowCloser() {
    ::InterlockedExchange(&m_stop, 1);
    ::WaitForSingleObject(m_thread, INFINITE);
    ::CloseHandle(m_thread);
}

DWORD WINAPI CWindowCloser::Watch(void* param) {
    auto* self = static_cast<CWindowCloser*>(param);
    // Each window is told once: on a loaded machine one may still show a
    // while after it was told, and is not a second window.
    HWND told = nullptr;
    while (::InterlockedCompareExchange(&self->m_stop, 0, 0) == 0) {
        const HWND window = ::FindWindowW(self->m_className.c_str(), nullptr);
        if (window != nullptr && window != told && ::IsWindowVisible(window)) {
            ::PostMessageW(window, WM_CLOSE, 0, 0);
            ::InterlockedIncrement(&self->m_closed);
            told = window;
        }
        ::Sleep(50);
    }
    return 0;
}

}  // namespace brelio::test
