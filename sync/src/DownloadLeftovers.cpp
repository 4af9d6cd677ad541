// Temporary files of downloads that the program's end cut short.
#include <cwchar>

#include "BrelioCore/UniqueHandle.h"
#include "BrelioServices/FileTransfer.h"
#include "BrelioServices/Log.h"
#include "BrelioSync/FileSyncThread.h"
#include "BrelioSync/LocalName.h"

void CFileSyncThread::RemoveDownloadLeftovers(const wchar_t* folderPath) {
    std::wstring pattern;
    if (!JoinName(folderPath, L"*", pattern)) return;
    WIN32_FIND_DATAW data = {};
    const brelio::UniqueFindHandle find(::FindFirstFileW(pattern.c_str(), &data));
    if (!find) return;
    do {
        if (CheckStop()) break;
        const bool isFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (isFolder && (wcscmp(data.cFileName, L".") == 0 || wcscmp(data.cFileName, L"..") == 0)) continue;
        std::wstring path;
        if (!JoinName(folderPath, data.cFileName, path)) continue;
        if (isFolder) {
            // A link may lead out of the sync folder: nothing there is ours.
            if ((data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) RemoveDownloadLeftovers(path.c_str());
            continue;
        }
        // Only a name made exactly as a download makes it: a user's file
        // that merely looks similar stays.
        if (!IsEngineTemporaryName(data.cFileName)) continue;
        if (::DeleteFileW(path.c_str()))
            Log(L"%s - leftover temporary file removed.", path.c_str());
        else
            Log(L"%s - failed to remove a leftover temporary file(0x%x).", path.c_str(),
                static_cast<unsigned>(HRESULT_FROM_WIN32(::GetLastError())));
    } while (::FindNextFileW(find.Get(), &data));
}
