#pragma once
#include <windows.h>

#include <string>

#include "HeadlessHost.h"

// The engine's three threads for the stored settings, started and stopped
// through the headless host as the program does.
class CEngineSession {
public:
    explicit CEngineSession(brelio::test::CHeadlessHost& host) : m_host(host) {}

    // The program's own engine start: the account's settings, the stored
    // session, the database readied, the threads started.
    HRESULT Start();
    // Stops the threads; S_OK once all three ended.
    HRESULT Stop();
    bool IsStarted() const { return m_started; }
    const std::wstring& DatabasePath() const { return m_databasePath; }

private:
    brelio::test::CHeadlessHost& m_host;
    bool m_started = false;
    std::wstring m_databasePath;
};
