#include "FileHolder.h"

#include <cwchar>

#include "TestFiles.h"

FileHolder::~FileHolder() { Finish(); }

bool FileHolder::Start(const std::wstring& path, DWORD holdMs) {
    static LONG counter = 0;
    wchar_t eventName[96];
    swprintf(eventName, 96, L"BrelioSettingsTestHolder-%lu-%ld", ::GetCurrentProcessId(),
             ::InterlockedIncrement(&counter));
    brelio::UniqueKernelHandle ready(::CreateEventW(nullptr, TRUE, FALSE, eventName));
    if (!ready) return false;

    const std::wstring program = ThisProgramFolder() + L"\\settings_file_holder.exe";
    wchar_t commandLine[1024];
    swprintf(commandLine, 1024, L"\"%ls\" \"%ls\" %lu %ls", program.c_str(), path.c_str(), holdMs, eventName);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (!::CreateProcessW(program.c_str(), commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &info)) {
        return false;
    }
    brelio::UniqueKernelHandle thread(info.hThread);
    m_process.Reset(info.hProcess);
    // Either the file is held, or the holder gave up.
    HANDLE waits[2] = {ready.Get(), m_process.Get()};
    const DWORD woke = ::WaitForMultipleObjects(2, waits, FALSE, 20000);
    return woke == WAIT_OBJECT_0;
}

bool FileHolder::Finish() {
    if (!m_process) return false;
    const bool ended = ::WaitForSingleObject(m_process.Get(), 20000) == WAIT_OBJECT_0;
    DWORD code = 1;
    ::GetExitCodeProcess(m_process.Get(), &code);
    m_process.Reset();
    return ended && code == 0;
}
