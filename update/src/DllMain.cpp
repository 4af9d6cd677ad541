#include <windows.h>

#include "BrelioServices/Log.h"
#include "BrelioServices/PathHelpers.h"

// The update always logs, into the program's own log file.
BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    ::DisableThreadLibraryCalls(instance);
    SetLogPath(GetLogFilePath().c_str());
    SetLogEnabled(true);
    return TRUE;
}
