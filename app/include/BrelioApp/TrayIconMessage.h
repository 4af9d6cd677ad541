#pragma once
#include <windows.h>

// The tray icon's callback message, which the main frame receives (and
// the tray tool of the tests sends as a click would).
constexpr UINT WM_TRAYICON = WM_APP + 11;
