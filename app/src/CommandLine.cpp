#include "BrelioApp/CommandLine.h"

#include <shellapi.h>

#include "BrelioApp/StringIds.h"
#include "BrelioApp/StringTable.h"
#include "BrelioApp/UpdateLibrary.h"
#include "BrelioCore/UniqueHandle.h"
#include "BrelioServices/NavigationPane.h"

namespace {

// The single-instance rule: a main frame of another copy, hidden or not.
bool FrontRunningInstance() {
    const HWND running = ::FindWindowW(L"BrelioDrive.MainFrame", LoadStringText(IDS_APP_TITLE).c_str());
    if (running == nullptr) return false;
    ::ShowWindow(running, SW_RESTORE);
    ::SetForegroundWindow(running);
    return true;
}

}  // namespace

bool CheckCommandLine() {
    int count = 0;
    brelio::UniqueLocalMemory<wchar_t*> arguments(::CommandLineToArgvW(::GetCommandLineW(), &count));
    wchar_t** argv = arguments.Get();
    if (argv == nullptr || count < 2) {
        if (FrontRunningInstance()) return false;
        return RunCheckUpdate(kCheckUpdateAtStart) != 0;
    }
    const wchar_t* first = argv[1];
    if (::lstrcmpiW(first, L"-TEST") == 0) return false;
    if (::lstrcmpiW(first, L"-ApplyUpdate") == 0) {
        // Only the update library starts the program so, always with the
        // folder; without one there is nothing to install into.
        if (count >= 3) (void)RunApplyUpdate(argv[2]);
        return false;
    }
    if (::lstrcmpiW(first, L"-cleanup") == 0) {
        UnregisterNavigationPane();
        return false;
    }
    return true;
}
