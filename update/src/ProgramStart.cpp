#include "BrelioUpdate/ProgramStart.h"

#include <shellapi.h>

#include "BrelioCore/UniqueHandle.h"
#include "BrelioServices/Log.h"
#include "BrelioUpdate/UpdateExitCodes.h"
#include "UpdateResults.h"

using brelio::UniqueKernelHandle;

std::wstring QuotedArgument(const std::wstring& text) {
    std::wstring quoted = L"\"" + text;
    if (!text.empty() && text.back() == L'\\') quoted += L'\\';
    quoted += L'"';
    return quoted;
}

HRESULT StartProgram(const std::wstring& file, const std::wstring& parameters, const std::wstring& workingDir,
                     bool wait) {
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI | (wait ? SEE_MASK_NOCLOSEPROCESS : 0);
    info.lpVerb = L"open";
    info.lpFile = file.c_str();
    info.lpParameters = parameters.c_str();
    info.lpDirectory = workingDir.c_str();
    info.nShow = SW_SHOWNORMAL;

    HRESULT result = S_OK;
    if (!::ShellExecuteExW(&info)) {
        result = LastErrorResult();
    } else if (wait) {
        UniqueKernelHandle process(info.hProcess);
        DWORD exitCode = 0;
        if (!process) {
            result = E_UNEXPECTED;
        } else if (::WaitForSingleObject(process.Get(), INFINITE) != WAIT_OBJECT_0 ||
                   !::GetExitCodeProcess(process.Get(), &exitCode)) {
            result = LastErrorResult();
        } else {
            result = ExitCodeToResult(exitCode);
        }
    }
    Log(L"Execute '%s %s(0x%x).", file.c_str(), parameters.c_str(), result);
    return result;
}
