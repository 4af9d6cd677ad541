#include "BrelioUpdate/UpdateManager.h"

#include "BrelioCore/WideFormat.h"
#include "BrelioServices/Log.h"
#include "BrelioServices/PathHelpers.h"
#include "BrelioUpdate/ProgramStart.h"
#include "BrelioUpdate/UpdateIni.h"
#include "BrelioUpdate/UpdateLink.h"
#include "BrelioUpdate/UpdateManifest.h"
#include "BrelioUpdate/UpdateMessages.h"
#include "BrelioUpdate/UpdatePaths.h"
#include "BrelioUpdate/UpdateRequest.h"
#include "BrelioUpdate/UpdateResourceIds.h"

CUpdateManager::CUpdateManager() = default;

CUpdateManager::CUpdateManager(std::wstring workDir) : CUpdateManager() { m_workDir = std::move(workDir); }

CUpdateManager::~CUpdateManager() = default;

bool CUpdateManager::ParseManifest(const CJXMemoryStream& body) {
    UpdateManifest manifest;
    const auto* bytes = reinterpret_cast<const char*>(body.GetData());
    if (!ParseUpdateManifest(std::string_view(bytes, body.GetSize()), manifest)) return false;
    m_version = std::move(manifest.version);
    m_link = manifest.link;
    m_force = manifest.force;
    return true;
}

UpdateCheck CUpdateManager::CheckVersion() {
    CJXMemoryStream body(4096);
    const HRESULT result = FetchManifest(UpdateManifestUri(), body);
    if (FAILED(result) || !ParseManifest(body)) {
        Log(L"Checking update - error(0x%x).", result);
        return UpdateCheck::kError;
    }
    // Only code from the service may run: a cabinet from anywhere else is
    // not even offered to the user.
    if (!IsTrustedUpdateLink(m_link.Text())) {
        Log(L"Update link refused: %s", m_link.c_str());
        Log(L"Checking update - error(0x%x).", E_ACCESSDENIED);
        return UpdateCheck::kError;
    }

    const UpdateCheck answer = DecideUpdate(m_force, GetRunningVersion(), CJXVersion(m_version.c_str()));
    switch (answer) {
        case UpdateCheck::kMajor: Log(L"Checking update - major update(v%s).", m_version.c_str()); break;
        case UpdateCheck::kMinor: Log(L"Checking update - minor update(v%s).", m_version.c_str()); break;
        default: Log(L"Checking update - no update."); break;
    }
    return answer;
}

HRESULT CUpdateManager::Execute(const std::wstring& program, bool absolute, bool wait, const std::wstring& parameters) {
    std::wstring file = program;
    if (!absolute && !JoinPath(m_workDir.c_str(), program.c_str(), file))
        return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
    return StartProgram(file, parameters, m_workDir, wait);
}

bool CUpdateManager::SetIniValue(const wchar_t* key, const std::wstring& value) {
    return ::SetIniValue(m_workDir, key, value);
}

std::wstring CUpdateManager::GetInstallDir() const { return GetIniValue(m_workDir, kIniInstallDirKey); }

int CUpdateManager::OnProgress(ULONGLONG done, ULONGLONG total, const wchar_t* name) {
    // The extractor names each file as it starts; the download's own counts
    // are not shown.
    if (done == 0 && total == 0 && name != nullptr) {
        std::wstring status;
        if (brelio::FormatWide(status, LoadUpdateString(IDS_UPDATE_FILE).c_str(), name)) m_progressDlg.SetStatus(status);
    }
    // The caller's windows stay responsive during the download. A quit
    // request is not ours to take: it is put back for the caller's loop.
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            ::PostQuitMessage(static_cast<int>(message.wParam));
            break;
        }
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    return 0;
}
