#pragma once
#include <windows.h>

#include <string>

#include "BrelioCore/JXMemoryStream.h"
#include "BrelioCore/JXProgressCallback.h"
#include "BrelioCore/JXUri.h"
#include "BrelioCore/UniqueHandle.h"
#include "BrelioUpdate/ProgressDlg.h"
#include "BrelioUpdate/UpdateDecision.h"

class CInstallTransaction;

// The work of the three update exports: the check against the manifest,
// the download and extraction of the cabinet, the start of programs and
// the install of the new files. Each export builds one on its stack; what
// a later stage needs lies in the work directory.
class CUpdateManager : public IJXProgressCallback {
public:
    // Stage 1 makes its work directory in Download; stages 2 and 3 pass the
    // folder they run from.
    CUpdateManager();
    explicit CUpdateManager(std::wstring workDir);
    ~CUpdateManager() override;
    CUpdateManager(const CUpdateManager&) = delete;
    CUpdateManager& operator=(const CUpdateManager&) = delete;

    // Asks the update host for the manifest and compares its version with
    // the running program's. Logs the outcome.
    UpdateCheck CheckVersion();
    // Reads a manifest body; false leaves the manager as it was.
    [[nodiscard]] bool ParseManifest(const CJXMemoryStream& body);
    // Downloads the cabinet of the manifest into a new work directory and
    // extracts it there, with the progress dialog up meanwhile.
    [[nodiscard]] HRESULT Download();
    // Starts `program` (joined to the work directory unless `absolute`).
    [[nodiscard]] HRESULT Execute(const std::wstring& program, bool absolute, bool wait,
                                  const std::wstring& parameters);
    // Installs the work directory into the folder named by "InstallDir".
    [[nodiscard]] HRESULT UpdateFiles();
    // Installs the files of `source` that are newer into `destination`, as
    // one whole: on any failure the destination is left as it was.
    [[nodiscard]] HRESULT CopyFiles(const std::wstring& source, const std::wstring& destination);

    [[nodiscard]] bool SetIniValue(const wchar_t* key, const std::wstring& value);
    std::wstring GetInstallDir() const;

    bool IsCancelled() override { return false; }
    // Shows the name of a file being extracted, and keeps the calling
    // thread's windows alive.
    int OnProgress(ULONGLONG done, ULONGLONG total, const wchar_t* name) override;

    bool Force() const { return m_force; }
    const std::wstring& Version() const { return m_version; }
    const std::wstring& WorkDir() const { return m_workDir; }
    const CJXUri& Link() const { return m_link; }

    // How long the install waits for the program that started the update
    // to end before it gives up.
    static constexpr DWORD kProgramExitTimeoutMs = 60000;

private:
    HRESULT StageTree(const std::wstring& source, const std::wstring& destination,
                      CInstallTransaction& install);
    HRESULT CommitInstall(CInstallTransaction& install, const std::wstring& destination);
    HRESULT RegisterInstalledShellExtension(const CInstallTransaction& install, const std::wstring& destination);

    bool m_force = false;
    std::wstring m_version;
    std::wstring m_workDir;
    CJXUri m_link;
    // Its window exists only while Download runs.
    CProgressDlg m_progressDlg;
    // COM for the manager's lifetime; declared last, so that it starts
    // after the members above and ends before them.
    brelio::ComInitScope m_com;
};
