#pragma once
#include <windows.h>

#include <memory>
#include <string>

#include "TempFolder.h"

namespace brelio::test {

inline constexpr DWORD kProgramWait = 60000;

// One run of BrelioDrive.exe: started by the test, or found by its main
// frame when another program started it.
class CDriveProcess {
public:
    // Starts the build's program, or the copy at `program`.
    explicit CDriveProcess(const std::wstring& arguments, WORD showCommand = SW_HIDE,
                           const std::wstring& program = BRELIO_DRIVE_EXE);
    ~CDriveProcess();
    CDriveProcess(const CDriveProcess&) = delete;
    CDriveProcess& operator=(const CDriveProcess&) = delete;

    // The copy whose main frame shows up first, waiting for one; null when
    // none appears in time.
    [[nodiscard]] static std::unique_ptr<CDriveProcess> FindByFrame(DWORD milliseconds = kProgramWait);

    bool Started() const { return m_process != nullptr; }
    DWORD Id() const { return m_id; }
    // The exit code, or -1000 when it did not end in time.
    long ExitCode(DWORD milliseconds = kProgramWait) const;
    // Its main frame, waiting for it.
    HWND Frame(DWORD milliseconds = kProgramWait) const;
    // What the tray menu's Exit does.
    void Exit() const;
    // The file the process runs, as Windows names it; empty when unknown.
    std::wstring ImagePath() const;

private:
    CDriveProcess(HANDLE process, DWORD id) : m_process(process), m_id(id) {}

    HANDLE m_process = nullptr;
    DWORD m_id = 0;
};

// A copy of the program's installation as the update fixtures made it (the
// old version, with its update library, launcher and shell extensions), in
// a folder of `scratch` whose name is not ASCII; the program's path in it.
std::wstring InstallProgram(const CTempFolder& scratch);
// The folder of InstallProgram's copy.
std::wstring InstallationFolder(const CTempFolder& scratch);

}  // namespace brelio::test
