#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "BrelioFramework/MessageMap.h"
#include "BrelioFramework/WindowImpl.h"
#include "OwnerWindow.h"

namespace brelio::test {

// Runs a step from whichever message loop runs next on this thread: the
// window's own modal loop, or a message box's inside it. A step posted
// before a call that opens a message box runs while that box is up.
void PostStep(std::function<void()> step);

// The first window of the class that this thread owns; NULL when none.
HWND FindThreadWindow(const wchar_t* className);

// The message box owned by `owner`, and its text; NULL when none is up.
HWND FindMessageBox(HWND owner, std::wstring* text);

// Dispatches every message waiting on this thread (pages a browser has
// queued load inside), until none is left.
void PumpWaitingMessages();

// The tenant's web addresses as the windows build them.
std::wstring TenantAddress(const std::string& tenant, const wchar_t* path);
// A new account of the tenant on the stand-in (the tenant is made on first
// use); its tenant id.
std::string MakeTenant(const std::string& tenant);
// True when the session of the tenant is taken by the drive API.
bool SessionWorks(const std::wstring& session, const std::string& tenant);

}  // namespace brelio::test
