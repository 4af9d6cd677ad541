#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "StandinControl.h"

namespace brelio::test {

// What an earlier interactive sign-in left in the registry for the
// stand-in account: the account, its session and sync folder, the
// sign-in kept ("AutoLogin") and the first run behind it. Everything else
// of the settings key is removed first.
struct StoredSignIn {
    bool autoLogin = true;
    bool firstRun = false;
    bool withSession = true;
};
void StoreSignIn(const StandinAccount& account, const std::wstring& syncFolder, const StoredSignIn& how = {});
// The account's name as the settings store it.
std::wstring StoredAccountName(const StandinAccount& account);
void RemoveSettings();

// Reads a value of the settings key (or of its subkey); empty when absent.
std::wstring ReadSettingText(const std::wstring& subkey, const wchar_t* name);
// -1 when absent.
long ReadSettingNumber(const wchar_t* name);
void WriteSettingNumber(const wchar_t* name, DWORD value);

// The first top-level window of `className` that belongs to process
// `processId` (any process for 0), visible or not as `visibility` asks.
enum class WindowVisibility { Any, VisibleOnly };
HWND FindTopWindow(const wchar_t* className, DWORD processId, WindowVisibility visibility);

// Pumps the calling thread's messages until the condition holds or the
// bound passes; true when it held.
bool PumpUntil(const std::function<bool()>& condition, DWORD milliseconds = 30000);

// Closes every window of the class that appears, from a thread of its
// own, for as long as it lives (a sign-in window a test does not drive).
// Closed() counts the windows it told to close, each once.
class CWindowCloser {
public:
    explicit CWindowCloser(const wchar_t* className);
    ~CWindowCloser();
    CWindowCloser(const CWindowCloser&) = delete;
    CWindowCloser& operator=(const CWindowCloser&) = delete;
    int Closed() const { return m_closed; }

private:
    static DWORD WINAPI Watch(void* self);
    std::wstring m_className;
    volatile LONG m_stop = 0;
    volatile LONG m_closed = 0;
    HANDLE m_thread = nullptr;
};

}  // namespace brelio::test
