#pragma once
#include <windows.h>

#include <string>

class CSyncManager;

// The engine's three threads for the stored settings, started and stopped
// through the sync manager as the program does.
class CEngineSession {
public:
    // The program's own engine start: the account's settings, the stored
    // session, the database readied, the threads started.
    HRESULT Start(CSyncManager* manager);
    // Stops the threads; S_OK once all three ended.
    HRESULT Stop();
    bool IsStarted() const { return m_manager != nullptr; }
    const std::wstring& DatabasePath() const { return m_databasePath; }

private:
    CSyncManager* m_manager = nullptr;
    std::wstring m_databasePath;
};
