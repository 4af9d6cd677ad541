#include "DriverTest.h"

#include <windows.h>

#include "BrelioCore/TextConvert.h"
#include "BrelioServices/PathHelpers.h"
#include "BrelioServices/RegistryLayout.h"
#include "BrelioServices/RestFrame.h"
#include "BrelioServices/Settings.h"

namespace brelio::test {

void DriverTest::SetUp() {
    StandinTest::SetUp();
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKeyPath);
    WriteSettings(L"Drive");
}

void DriverTest::TearDown() {
    RemoveDatabase();
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKeyPath);
    StandinTest::TearDown();
}

void DriverTest::WriteSettings(const std::wstring& folderName) {
    RemoveDatabase();
    m_root = m_folder / folderName;
    CSettings settings;
    ASSERT_GE(settings.LoadGlobal(), 0);
    ASSERT_EQ(settings.SetAccount(Utf8ToWide(m_account.tenant).c_str(), L"driver"), ERROR_SUCCESS);
    ASSERT_EQ(settings.SetRootDir(m_root.c_str()), S_OK);
    ASSERT_EQ(settings.SetSessionId(Utf8ToWide(m_account.session).c_str()), ERROR_SUCCESS);
    m_database = settings.GetLocalStoragePath();
    RemoveDatabase();
}

void DriverTest::UseNewAccount(const std::wstring& folderName) {
    m_account = CreateAccount();
    ASSERT_FALSE(m_account.session.empty());
    SetAuthHeader(m_account.SessionHeader().c_str());
    WriteSettings(folderName);
}

void DriverTest::RemoveDatabase() {
    if (!m_database.empty()) ::DeleteFileW(m_database.c_str());
}

void DriverTest::StartEngine(CDriverProcess& driver) {
    ASSERT_TRUE(driver.Start());
    ASSERT_TRUE(driver.Send("start\n"));
    std::string result;
    ASSERT_TRUE(driver.WaitForLine(
        [&](const Json::Value& line) {
            if (!line.isObject() || line["event"].asString() != "started") return false;
            result = line["result"].asString();
            return true;
        },
        120000));
    ASSERT_EQ(result, "0x00000000") << "the engine's threads started";
}

void DriverTest::WaitUntilWatching() {
    const std::wstring log = GetLogFilePath();
    const ULONGLONG deadline = ::GetTickCount64() + 30000;
    while (ReadFileBytes(log).find("FileMonitorThread started(") == std::string::npos && ::GetTickCount64() < deadline)
        ::Sleep(20);
}

std::vector<Json::Value> DriverTest::Lines(const std::vector<Json::Value>& all, const char* key) {
    std::vector<Json::Value> picked;
    for (const Json::Value& line : all)
        if (line.isObject() && line.isMember(key)) picked.push_back(line[key]);
    return picked;
}

Json::Value DriverTest::Event(const std::vector<Json::Value>& all, const std::string& name) {
    for (const Json::Value& line : all)
        if (line.isObject() && line["event"].asString() == name) return line;
    return Json::Value();
}

}  // namespace brelio::test
