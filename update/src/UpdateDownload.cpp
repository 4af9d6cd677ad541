#include <shlwapi.h>

#include "BrelioCore/ErrorFlow.h"
#include "BrelioCore/UniqueHandle.h"
#include "BrelioServices/Log.h"
#include "BrelioServices/PathHelpers.h"
#include "BrelioUpdate/CabinetExtractor.h"
#include "BrelioUpdate/UpdateIni.h"
#include "BrelioUpdate/UpdateLink.h"
#include "BrelioUpdate/UpdateManager.h"
#include "BrelioUpdate/UpdateMessages.h"
#include "BrelioUpdate/UpdatePaths.h"
#include "BrelioUpdate/UpdateRequest.h"
#include "BrelioUpdate/UpdateResourceIds.h"
#include "UpdateResults.h"

using brelio::UniqueKernelHandle;

namespace {

// A cabinet that did not arrive whole is not kept: the next attempt
// starts in a new work directory and nothing would ever remove it.
HRESULT DownloadCabinet(const CJXUri& link, const std::wstring& path, IJXProgressCallback* progress) {
    HRESULT result = S_OK;
    {
        UniqueKernelHandle file(
            ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                          nullptr));
        if (!file) return LastErrorResult();
        result = DownloadCabinetFile(link.Text(), file.Get(), progress);
    }
    if (FAILED(result) && !::DeleteFileW(path.c_str()))
        Log(L"%s could not be removed(0x%x).", path.c_str(), LastErrorResult());
    return result;
}

// Stage 2 starts the new program and the launcher from the work directory,
// and that program loads the library beside it.
HRESULT CheckStageFiles(const std::wstring& workDir) {
    for (const wchar_t* name : {kDriveProgramName, kUpdateLibraryName, kLauncherProgramName}) {
        std::wstring path;
        if (!JoinPath(workDir.c_str(), name, path) || !::PathFileExistsW(path.c_str())) {
            Log(L"%s is missing from the update.", name);
            return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
        }
    }
    return S_OK;
}

}  // namespace

HRESULT CUpdateManager::Download() {
    HRESULT result = S_OK;
    std::wstring cabinet;
    if (!IsTrustedUpdateLink(m_link.Text())) {
        result = E_ACCESSDENIED;
    } else {
        (void)m_progressDlg.Open(LoadUpdateString(IDS_UPDATE_DOWNLOADING));
        m_workDir = CreateUpdateWorkDir();
        if (m_workDir.empty() || !JoinPath(m_workDir.c_str(), kCabinetFileName, cabinet))
            result = HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
    }
    if (SUCCEEDED(result)) result = DownloadCabinet(m_link, cabinet, this);
    if (SUCCEEDED(result)) {
        m_progressDlg.SetStatus(L"");
        CCabinetExtractor extractor(this, cabinet);
        result = extractor.Extract(m_workDir);
    }
    if (SUCCEEDED(result)) result = CheckStageFiles(m_workDir);
    if (SUCCEEDED(result)) (void)SetIniValue(kIniVersionKey, m_version);
    m_progressDlg.Close();

    BRELIO_RETURN_IF_FAILED(result, L"Download failed(0x%x).");
    Log(L"Download completed(%s).", m_workDir.c_str());
    return S_OK;
}
