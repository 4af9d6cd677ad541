#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "BrelioCore/UniqueHandle.h"

namespace brelio::test {

// A program started by the test, with the test's environment.
class CProgram {
public:
    bool Start(const std::wstring& path, const std::wstring& arguments);
    // The exit code, or -1 when it did not end in time.
    DWORD Wait(DWORD timeoutMs = 180000);

private:
    UniqueKernelHandle m_process;
};

// Runs a program and waits for it; its exit code, or -1.
DWORD RunProgram(const std::wstring& path, const std::wstring& arguments, DWORD timeoutMs = 180000);

// The report file that the test programs append to (BRELIO_UPDATE_REPORT
// in the environment, which started programs inherit).
class CReport {
public:
    explicit CReport(const std::wstring& path);
    ~CReport();
    CReport(const CReport&) = delete;
    CReport& operator=(const CReport&) = delete;

    std::vector<std::string> Lines() const;
    // Waits (bounded) until a line begins with `prefix`; that line, or an
    // empty text.
    std::string WaitForLine(const std::string& prefix, DWORD timeoutMs = 180000) const;

private:
    std::wstring m_path;
};

// The lines the update appends to the shared log file from now on.
class CLogWatch {
public:
    CLogWatch();
    std::string NewText() const;
    bool WaitFor(const std::string& text, DWORD timeoutMs = 180000) const;

private:
    std::wstring m_path;
    size_t m_start = 0;
};

// A process that holds a file open without sharing until released. It runs
// update_file_holder.exe, or a copy of it at `program` (a program that runs
// for as long as the test wants).
class CFileHolder {
public:
    ~CFileHolder();
    bool Hold(const std::wstring& path, const std::wstring& program = {});
    // Lets go of the file and waits for the holder to end.
    bool Release();

private:
    UniqueKernelHandle m_ready;
    UniqueKernelHandle m_release;
    CProgram m_program;
    bool m_holding = false;
    std::wstring m_readyName;
    std::wstring m_releaseName;
};

// A test program beside this one.
std::wstring TestProgramPath(const wchar_t* fileName);
// A name no other process uses.
std::wstring UniqueEventName(const wchar_t* prefix);

}  // namespace brelio::test
