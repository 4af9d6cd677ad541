#pragma once
#include <json/json.h>

#include <string>
#include <vector>

#include "DriverProcess.h"
#include "StandinTest.h"

namespace brelio::test {

// A test of the engine driver: the program's real settings in the registry
// name the test's account, session and sync folder. Each test writes them
// from a clean key and removes them again.
class DriverTest : public StandinTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Settings for the current account and a sync folder of that name in
    // the scratch folder; a database left by an earlier use is removed.
    void WriteSettings(const std::wstring& folderName);
    // A fresh account of the stand-in, signed in, with fresh settings.
    void UseNewAccount(const std::wstring& folderName);
    void RemoveDatabase();

    // A driver with the engine's threads running.
    void StartEngine(CDriverProcess& driver);
    // Until the engine's log (written with "EnableLogging" on) says the
    // change monitor watches. Under Wine the monitor misses changes in
    // folders that were there before it started watching: a test makes its
    // folders after this.
    void WaitUntilWatching();

    // The values of the lines that have the key.
    static std::vector<Json::Value> Lines(const std::vector<Json::Value>& all, const char* key);
    // The first line of that event; null when none.
    static Json::Value Event(const std::vector<Json::Value>& all, const std::string& name);

    std::wstring m_root;
    std::wstring m_database;
};

}  // namespace brelio::test
