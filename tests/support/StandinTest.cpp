#include "StandinTest.h"

#include <windows.h>

#include "BrelioServices/RestFrame.h"

namespace brelio::test {

void StandinTest::SetUp() {
    m_account = CreateAccount();
    ASSERT_FALSE(m_account.session.empty());
    SetAuthHeader(m_account.SessionHeader().c_str());
    SetUserAgent(L"BrelioDrive/1.0.0.1 (Windows NT 10.0)");
    ASSERT_TRUE(m_folder.Create());
}

void StandinTest::TearDown() {
    SetAuthHeader(L"");
}

Json::Value StandinTest::Seed(const Json::Value& items) {
    Json::Value body;
    body["session"] = m_account.session;
    body["items"] = items;
    return ControlPost("/seed", body)["items"];
}

Json::Value StandinTest::Seed(std::initializer_list<Json::Value> items) {
    Json::Value list(Json::arrayValue);
    for (const Json::Value& item : items) list.append(item);
    return Seed(list);
}

Json::Value StandinTest::FolderItem(const std::string& path) {
    Json::Value item;
    item["path"] = path;
    item["type"] = "folder";
    return item;
}

Json::Value StandinTest::FileItem(const std::string& path, uint64_t size) {
    Json::Value item;
    item["path"] = path;
    item["type"] = "file";
    item["size"] = static_cast<Json::UInt64>(size);
    return item;
}

Json::Value StandinTest::Remote(Json::Value change) {
    change["session"] = m_account.session;
    return ControlPost("/remote", change)["item"];
}

Json::Value StandinTest::Requests() { return ControlGet("/log?session=" + m_account.session)["entries"]; }

void StandinTest::ClearLog() { ControlPost("/log/clear?session=" + m_account.session, Json::objectValue); }

void StandinTest::AddFault(Json::Value fault) {
    fault["session"] = m_account.session;
    ControlPost("/faults", fault);
}

bool StandinTest::WaitForFaultsTaken(unsigned long milliseconds) {
    const ULONGLONG deadline = ::GetTickCount64() + milliseconds;
    for (;;) {
        const Json::Value armed = ControlGet("/faults?session=" + m_account.session)["faults"];
        if (armed.isArray() && armed.empty()) return true;
        if (::GetTickCount64() >= deadline) return false;
        ::Sleep(50);
    }
}

void StandinTest::ClearFaults() { ControlPost("/faults/clear?session=" + m_account.session, Json::objectValue); }

Json::Value StandinTest::Item(uint64_t id) {
    return ControlGet("/file?session=" + m_account.session + "&id=" + std::to_string(id));
}

Json::Value StandinTest::ItemAt(const std::string& path) {
    return ControlGet("/file?session=" + m_account.session + "&path=" + path);
}

uint64_t IdOf(const Json::Value& item) { return std::stoull(item["id"].asString()); }

}  // namespace brelio::test
