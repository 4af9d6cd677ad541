#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "BrelioCore/UniqueHandle.h"

namespace brelio::test {

// This test program started again as a helper process with
// "--child <role> <arguments...>".
class CChildProcess {
public:
    bool Start(const std::vector<std::wstring>& arguments);
    // The exit code, or -1 when the process did not end in time.
    int Wait(DWORD milliseconds = 120000);
    // Ends it at once, as a crash or the task manager would: nothing of it
    // runs after this, and its handles and locks are gone when it returns.
    void Kill();

private:
    UniqueKernelHandle m_process;
};

// A named event that a helper process opens to say it is ready.
class CNamedEvent {
public:
    CNamedEvent();
    const std::wstring& Name() const { return m_name; }
    bool Wait(DWORD milliseconds = 30000) const;
    void Set() const;

private:
    std::wstring m_name;
    UniqueKernelHandle m_event;
};

// A name no other test process uses.
std::wstring UniqueName(const wchar_t* prefix);

// The helper roles; returns the process exit code.
int RunChildRole(const std::vector<std::wstring>& arguments);

}  // namespace brelio::test
