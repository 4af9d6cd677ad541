#include <shlwapi.h>

#include "BrelioCore/ErrorFlow.h"
#include "BrelioCore/UniqueHandle.h"
#include "BrelioServices/Log.h"
#include "BrelioServices/PathHelpers.h"
#include "BrelioUpdate/InstallLeftovers.h"
#include "BrelioUpdate/InstallTransaction.h"
#include "BrelioUpdate/ProgramExitWait.h"
#include "BrelioUpdate/ShellExtRegistration.h"
#include "BrelioUpdate/UpdateManager.h"
#include "BrelioUpdate/UpdateMessages.h"
#include "BrelioUpdate/UpdatePaths.h"
#include "BrelioUpdate/UpdateResourceIds.h"

namespace {

bool IsUpdateOwnFile(const wchar_t* name) {
    return ::StrCmpIW(name, kCabinetFileName) == 0 || ::StrCmpIW(name, kIniFileName) == 0;
}

// The overlay library may be held by Explorer: the user is asked to close
// its windows and retry. Any other file in use fails the install.
HRESULT AskAboutFileInUse(const std::wstring& target, HRESULT failure) {
    if (::StrCmpIW(::PathFindFileNameW(target.c_str()), kOverlayLibraryName) != 0) return failure;
    return ShowMessageId(IDS_UPDATE_FOLDER_IN_USE, kBoxRetry) == IDRETRY ? S_OK : E_ABORT;
}

bool SameFolder(const std::wstring& a, const std::wstring& b) {
    wchar_t first[MAX_PATH] = L"";
    wchar_t second[MAX_PATH] = L"";
    if (!::GetFullPathNameW(a.c_str(), MAX_PATH, first, nullptr) ||
        !::GetFullPathNameW(b.c_str(), MAX_PATH, second, nullptr))
        return false;
    ::PathRemoveBackslashW(first);
    ::PathRemoveBackslashW(second);
    return ::StrCmpIW(first, second) == 0;
}

}  // namespace

HRESULT CUpdateManager::UpdateFiles() {
    const std::wstring installDir = GetInstallDir();
    if (installDir.empty() || !::PathIsDirectoryW(installDir.c_str()) || SameFolder(installDir, m_workDir))
        return E_FAIL;

    // The program that started the update still holds its files for a
    // moment; replacing them under it would leave a half-new install.
    std::wstring program;
    if (JoinPath(installDir.c_str(), kDriveProgramName, program)) {
        BRELIO_RETURN_IF_FAILED(WaitForProgramExit(program, kProgramExitTimeoutMs), L"%s is still running(0x%x).",
                                program.c_str());
    }
    return CopyFiles(m_workDir, installDir);
}

HRESULT CUpdateManager::CopyFiles(const std::wstring& source, const std::wstring& destination) {
    CInstallTransaction install;
    const HRESULT staged = StageTree(source, destination, install);
    if (FAILED(staged)) {
        install.RollBack();
        return staged;
    }
    return CommitInstall(install, destination);
}

HRESULT CUpdateManager::StageTree(const std::wstring& source, const std::wstring& destination,
                                  CInstallTransaction& install) {
    // What an earlier install had to leave here may be free by now.
    RemoveInstallLeftovers(destination);
    std::wstring pattern;
    if (!JoinPath(source.c_str(), L"*.*", pattern)) return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
    WIN32_FIND_DATAW found = {};
    const brelio::UniqueFindHandle find(::FindFirstFileW(pattern.c_str(), &found));
    if (!find) return S_OK;
    do {
        const std::wstring name = found.cFileName;
        std::wstring from;
        std::wstring to;
        if (!JoinPath(source.c_str(), name.c_str(), from) || !JoinPath(destination.c_str(), name.c_str(), to))
            return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);

        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (name == L"." || name == L"..") continue;
            HRESULT result = install.AddDirectory(to);
            if (SUCCEEDED(result)) result = StageTree(from, to, install);
            if (FAILED(result)) return result;
            continue;
        }
        if (IsUpdateOwnFile(name.c_str())) continue;
        if (HaveEqualVersions(from.c_str(), to.c_str())) {
            Log(L"%s is up to date.", name.c_str());
            continue;
        }
        const HRESULT result = install.StageFile(from, to);
        if (SUCCEEDED(result))
            Log(L"copy %s to %s OK.", from.c_str(), to.c_str());
        else
            Log(L"copy %s to %s  failed(0x%x).", from.c_str(), to.c_str(), result);
        if (FAILED(result)) return result;
    } while (::FindNextFileW(find.Get(), &found));
    return S_OK;
}

HRESULT CUpdateManager::CommitInstall(CInstallTransaction& install, const std::wstring& destination) {
    std::wstring previousExtension;
    const bool hadExtension = ReadShellExtensionPath(previousExtension);

    const HRESULT committed = install.Commit(AskAboutFileInUse);
    if (FAILED(committed)) return committed;

    const HRESULT registered = RegisterInstalledShellExtension(install, destination);
    if (FAILED(registered)) {
        // The old files come back, and with them the old registration.
        install.RollBack();
        RestoreShellExtension(hadExtension, previousExtension);
        return registered;
    }
    install.Finish();
    return S_OK;
}

// Only the library itself: files that merely begin with its name (its
// debug information, say) or copies below the folder are no extension, and
// registering one would unregister the real one.
HRESULT CUpdateManager::RegisterInstalledShellExtension(const CInstallTransaction& install,
                                                        const std::wstring& destination) {
    std::wstring extension;
    if (!JoinPath(destination.c_str(), kShellExtensionName, extension)) return S_OK;
    for (const std::wstring& target : install.InstalledTargets()) {
        if (::StrCmpIW(target.c_str(), extension.c_str()) != 0) continue;
        const HRESULT result = RegisterShellExtension(target);
        if (SUCCEEDED(result))
            Log(L"Register %s OK.", target.c_str());
        else
            Log(L"Register %s  failed(0x%x).", target.c_str(), result);
        return result;
    }
    return S_OK;
}
