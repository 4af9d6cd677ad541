#pragma once
#include <windows.h>

// Posts WM_COMMAND with the command id (notification code 0, lParam 0).
BOOL PostCommand(HWND window, WORD commandId);
