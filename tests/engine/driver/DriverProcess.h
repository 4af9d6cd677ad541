#pragma once
#include <windows.h>
#include <json/json.h>

#include <functional>
#include <string>
#include <vector>

#include "BrelioCore/UniqueHandle.h"

namespace brelio::test {

// The engine driver beside this program, run as a child process: commands
// go to its standard input, the JSON lines it prints are collected.
class CDriverProcess {
public:
    CDriverProcess() = default;
    // A driver still running is killed.
    ~CDriverProcess();
    CDriverProcess(const CDriverProcess&) = delete;
    CDriverProcess& operator=(const CDriverProcess&) = delete;

    bool Start();
    bool Send(const std::string& commands);
    // Collects lines until one after the last line found this way meets
    // the condition (true), or the driver ended or the time ran out.
    bool WaitForLine(const std::function<bool(const Json::Value&)>& condition, DWORD timeoutMs);
    // Collects lines for the time given, the driver running on.
    void Collect(DWORD milliseconds);
    // Ends the driver at once, as a crash, the task manager or a power cut
    // would: nothing of it runs after this.
    void Kill();
    // Ends its input, so that it quits after the last command, and waits for
    // it to end. False, with the driver killed, when it did not in time.
    bool Finish(DWORD timeoutMs);
    bool IsRunning() const;

    // Every line so far; a line that is not JSON comes as the text
    // "unparsed: " followed by the line.
    const std::vector<Json::Value>& Lines() const { return m_lines; }

private:
    // Reads what is there; false when nothing was.
    bool ReadAvailable();
    void ParseLines(bool all);

    UniqueKernelHandle m_process;
    UniqueKernelHandle m_toChild;
    UniqueKernelHandle m_fromChild;
    std::string m_pending;
    std::vector<Json::Value> m_lines;
    size_t m_nextToMatch = 0;
};

// Runs the driver with the commands on its standard input and gives back
// every JSON line it printed. Empty when it could not be started or did not
// end within the time.
std::vector<Json::Value> RunEngineDriver(const std::string& commands, unsigned long timeoutMs = 120000);

}  // namespace brelio::test
