#include "BrelioUpdate/UpdateExitCodes.h"

#include "BrelioServices/FileOperations.h"

int UpdateFileExitCode(HRESULT result) {
    if (SUCCEEDED(result)) return 0;
    const int low = static_cast<int>(static_cast<DWORD>(result) & 0xFFFF);
    return low != 0 ? low : static_cast<int>(result);
}

HRESULT ExitCodeToResult(DWORD exitCode) { return HresultFromWin32(static_cast<int>(exitCode)); }
