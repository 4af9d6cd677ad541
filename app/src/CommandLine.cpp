#include "BrelioApp/CommandLine.h"

#include <shellapi.h>

#include "BrelioApp/ResourceIds.h"
#include "BrelioApp/StringIds.h"
#include "BrelioApp/UpdateLibrary.h"
#include "BrelioCore/StringTable.h"
#include "BrelioCore/UniqueHandle.h"
#include "BrelioServices/NavigationPane.h"

namespace {

// Long enough for a busy copy to take the command; a hung one is not
// waited for at all.
constexpr UINT kOpenWaitMs = 10000;

// The single-instance rule: a main frame of another copy, hidden or not.
// That copy opens itself as its tray icon's Open does: only it knows
// whether its frame may be shown (not while a new sign-in asks) and which
// window is up in front of it. This copy, started by the user, lets it
// take the foreground.
bool FrontRunningInstance() {
    const HWND running = ::FindWindowW(L"BrelioDrive.MainFrame", LoadStringText(IDS_APP_TITLE).c_str());
    if (running == nullptr) return false;
    DWORD process = 0;
    ::GetWindowThreadProcessId(running, &process);
    ::AllowSetForegroundWindow(process);
    DWORD_PTR ignored = 0;
    ::SendMessageTimeoutW(running, WM_COMMAND, ID_TRAY_OPEN, 0, SMTO_ABORTIFHUNG, kOpenWaitMs, &ignored);
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
