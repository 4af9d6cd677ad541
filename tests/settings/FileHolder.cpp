#include "FileHolder.h"

#include <cwchar>

#include "TestFiles.h"

FileHolder::~FileHolder() { Finish(); }

bool FileHolder::Start(const std::wstring& path, DWORD holdMs) {
    static LONG counter = 0;
    wchar_t eventName[96];
    swprintf(eventName, 96, L"BrelioSettingsTestHolder-%lu-%ld", ::GetCurrentProcessId(),
             ::InterlockedIncrement(&counter));
    HANDLE ready = ::CreateEventW(nullptr, TRUE, FALSE, eventName);
    if (ready == nullptr) return false;

    const std::wstring program = ThisProgramFolder() + L"\\settings_file_holder.exe";
    wchar_t commandLine[1024];
    swprintf(commandLine, 1024, L"\"%ls\" \"%ls\" %lu %ls", program.c_str(), path.c_str(), holdMs, eventName);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (!::CreateProcessW(program.c_str(), commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &info)) {
        ::CloseHandle(ready);
        return false;
    }
    ::CloseHandle(info.hThread);
    m_process = info.hProcess;
    // Either the file is held, or the holder gave up.
    HANDLE waits[2] = {ready, m_process};
    const DWORD woke = ::WaitForMultipleObjects(2, waits, FALSE, 20000);
    ::CloseHandle(ready);
    return woke == WAIT_OBJECT_0;
}

bool FileHolder::Finish() {
    if (m_process == nullptr) return false;
    const bool ended = ::WaitForSingleObject(m_process, 20000) == WAIT_OBJECT_0;
    DWORD code = 1;
    ::GetExitCodeProcess(m_process, &code);
    ::CloseHandle(m_process);
    m_process = nullptr;
    return ended && code == 0;
}
