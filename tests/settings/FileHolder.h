#pragma once
#include <windows.h>

#include <string>

#include "BrelioCore/UniqueHandle.h"

// Runs settings_file_holder: another process that keeps a file open
// without sharing for a given time. Start returns once the file is held.
class FileHolder {
public:
    FileHolder() = default;
    ~FileHolder();
    FileHolder(const FileHolder&) = delete;
    FileHolder& operator=(const FileHolder&) = delete;

    bool Start(const std::wstring& path, DWORD holdMs);
    // Waits for the holder to let go and end; true when it ended cleanly.
    bool Finish();

private:
    brelio::UniqueKernelHandle m_process;
};
