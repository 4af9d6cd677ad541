#include "BrelioServices/PostCommand.h"

BOOL PostCommand(HWND window, WORD commandId) {
    return ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(commandId, 0), 0);
}
