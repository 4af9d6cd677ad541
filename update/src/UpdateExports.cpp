// The three exports of the update library, bound by name at run time. Each
// builds its own manager and keeps nothing between calls: the stages run
// in three processes and meet only in the work directory.
#include <windows.h>

#include "BrelioCore/ErrorFlow.h"
#include "BrelioCore/JXHttpRequest.h"
#include "BrelioFramework/Module.h"
#include "BrelioServices/Log.h"
#include "BrelioServices/PathHelpers.h"
#include "BrelioUpdate/CheckUpdateModes.h"
#include "BrelioUpdate/InstallLeftovers.h"
#include "BrelioUpdate/ProgramExitWait.h"
#include "BrelioUpdate/ProgramStart.h"
#include "BrelioUpdate/UpdateExitCodes.h"
#include "BrelioUpdate/UpdateIni.h"
#include "BrelioUpdate/UpdateManager.h"
#include "BrelioUpdate/UpdateMessages.h"
#include "BrelioUpdate/UpdatePaths.h"
#include "BrelioUpdate/UpdateResourceIds.h"

namespace {

constexpr int kNoUpdate = 1;
// How long a call waits, at its end, for WinHTTP to be done with it. On
// Windows a closed request is reported closed at once; under Wine one cut
// short while the host holds its answer only when the host next sends.
constexpr DWORD kRequestsClosedWaitMs = 2000;

// Each export begins with one. The program frees this library as soon as
// the call returns, and WinHTTP reports on threads of its own, also after
// a request was closed: a report into a freed library is a crash. So the
// call returns once WinHTTP calls nothing of it any more, or else the
// library stays loaded until the process ends.
class CReturnAfterWinHttp {
public:
    CReturnAfterWinHttp() = default;
    CReturnAfterWinHttp(const CReturnAfterWinHttp&) = delete;
    CReturnAfterWinHttp& operator=(const CReturnAfterWinHttp&) = delete;
    ~CReturnAfterWinHttp() {
        if (CJXHttpRequest::WaitUntilAllClosed(kRequestsClosedWaitMs)) return;
        HMODULE self = nullptr;
        if (::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                                 reinterpret_cast<LPCWSTR>(ATL::GetModuleInstance()), &self))
            Log(L"A request is still open: the update library stays loaded.");
    }
};

HRESULT ShowFailure(HRESULT result) {
    if (FAILED(result)) ShowMessageId(IDS_UPDATE_FAILED, kBoxError);
    return result;
}

// After a failed install the old installation is whole again; the program
// that ended for the update runs again, so that syncing goes on. Not while
// a copy of it still runs: two would sync the same folder.
void RestartAfterFailure(CUpdateManager& manager, const std::wstring& program) {
    const HRESULT running = WaitForProgramExit(program, 0);
    if (FAILED(running)) {
        Log(L"%s still runs: not started again.", program.c_str());
        return;
    }
    (void)manager.Execute(program, true, false, kAfterFailedUpdateArgument);
}

int RunCheckUpdate(int mode) {
    const CReturnAfterWinHttp afterWinHttp;
    // This runs in the installed program, at its start and now and then:
    // what an earlier install could not remove may be free by now.
    RemoveInstallLeftovers(GetModuleDirectory());
    CUpdateManager manager;
    UpdateCheck answer = manager.CheckVersion();
    // A periodic check interrupts the user's work: it always asks.
    if (answer == UpdateCheck::kMajor && mode == kCheckUpdatePeriodic) answer = UpdateCheck::kMinor;
    switch (answer) {
        case UpdateCheck::kMajor:
            ShowMessageFormat(IDS_UPDATE_MAJOR, manager.Version().c_str(), kBoxInformation);
            break;
        case UpdateCheck::kMinor:
            if (ShowMessageFormat(IDS_UPDATE_MINOR, manager.Version().c_str(), kBoxQuestion) != IDYES) return E_ABORT;
            break;
        case UpdateCheck::kNone:
            return kNoUpdate;
        default:
            return E_FAIL;
    }

    HRESULT result = manager.Download();
    if (FAILED(result)) return ShowFailure(result);
    const std::wstring parameters = L"-ApplyUpdate " + QuotedArgument(GetModuleDirectory());
    result = manager.Execute(kDriveProgramName, false, false, parameters);
    return ShowFailure(result);
}

int RunApplyUpdate(const wchar_t* installDir) {
    const CReturnAfterWinHttp afterWinHttp;
    const std::wstring install = installDir ? installDir : L"";
    CUpdateManager manager(GetModuleDirectory());
    (void)manager.SetIniValue(kIniInstallDirKey, install);

    std::wstring program;
    if (!JoinPath(install.c_str(), kDriveProgramName, program)) return ShowFailure(E_FAIL);

    const std::wstring parameters = std::wstring(kUpdateLibraryName) + L" UpdateFile";
    const HRESULT result = manager.Execute(kLauncherProgramName, false, true, parameters);
    if (FAILED(result)) {
        (void)ShowFailure(result);
        RestartAfterFailure(manager, program);
        return result;
    }
    return ShowFailure(manager.Execute(program, true, false, L""));
}

int RunUpdateFile() {
    const CReturnAfterWinHttp afterWinHttp;
    const HCURSOR previous = ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
    CUpdateManager manager(GetModuleDirectory());
    const HRESULT result = manager.UpdateFiles();
    ::SetCursor(previous);
    return UpdateFileExitCode(ShowFailure(result));
}

}  // namespace

// Each export ends what is thrown inside it as E_UNEXPECTED: the program
// that calls it is no C++ of this library.

// Stage 1, inside the running program: 0 when the next stage has started
// and the caller must exit; 1 when there is no update; E_ABORT when the
// user declined; E_FAIL when the check failed; another failure when the
// download or the start failed (the user has been told).
extern "C" __declspec(dllexport) int CheckUpdate(int mode) {
    return brelio::GuardEntry(__func__, static_cast<int>(E_UNEXPECTED), [mode] { return RunCheckUpdate(mode); });
}

// Stage 2, inside the new program in the work directory: runs the launcher
// there and starts the installed program again: as usual when the update
// was installed, without the update check after a failure (once the user
// has been told).
extern "C" __declspec(dllexport) int ApplyUpdate(const wchar_t* installDir) {
    return brelio::GuardEntry(__func__, static_cast<int>(E_UNEXPECTED),
                              [installDir] { return RunApplyUpdate(installDir); });
}

// Stage 3, inside the launcher: installs the work directory. The result is
// the launcher's exit code (see UpdateFileExitCode).
extern "C" __declspec(dllexport) int UpdateFile() {
    return brelio::GuardEntry(__func__, UpdateFileExitCode(E_UNEXPECTED), [] { return RunUpdateFile(); });
}
