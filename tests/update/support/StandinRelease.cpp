#include "StandinRelease.h"

#include <windows.h>

#include "StandinControl.h"

namespace brelio::test {
namespace {
constexpr char kUpdateHost[] = "update.localhost";
constexpr char kForeignHost[] = "127.0.0.1";

std::string HostLink(const char* host, const std::string& path) {
    return "http://" + std::string(host) + ":" + std::to_string(BRELIO_STANDIN_PORT) + path;
}
}  // namespace

void SetReleaseManifest(const std::string& text) {
    Json::Value body;
    body["body"] = text;
    ControlPost("/update/manifest", body);
}

void SetPaddedReleaseManifest(const std::string& text, size_t bytes) {
    Json::Value body;
    body["body"] = text;
    body["padTo"] = static_cast<Json::UInt64>(bytes);
    ControlPost("/update/manifest", body);
}

void SetRelease(const std::string& version, const std::string& link, const std::string& force) {
    std::string text = "{\"version\": \"" + version + "\", \"link-x64\": \"" + link + "\"";
    if (!force.empty()) text += ", \"force\": " + force;
    SetReleaseManifest(text + "}");
}

void AddReleaseFile(const std::string& name, const std::string& unixPath) {
    Json::Value body;
    body["name"] = name;
    body["path"] = unixPath;
    ControlPost("/update/file", body);
}

void ClearRelease() { ControlPost("/update/clear", Json::Value(Json::objectValue)); }

std::string ReleaseFileLink(const std::string& name) { return UpdateHostLink("/release/drive/files/" + name); }

std::string ForeignFileLink(const std::string& name) { return ForeignHostLink("/release/drive/files/" + name); }

std::string UpdateHostLink(const std::string& path) { return HostLink(kUpdateHost, path); }

std::string ForeignHostLink(const std::string& path) { return HostLink(kForeignHost, path); }

Json::Value UpdateHostRequests() { return ControlGet(std::string("/log?host=") + kUpdateHost)["entries"]; }

void ClearUpdateHostRequests() {
    ControlPost(std::string("/log/clear?host=") + kUpdateHost, Json::Value(Json::objectValue));
}

bool WaitUntilUpdateHostAnswered(size_t requests, unsigned long timeoutMs) {
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    for (;;) {
        const Json::Value entries = UpdateHostRequests();
        bool answering = false;
        for (const Json::Value& entry : entries) answering = answering || entry["answering"].asBool();
        if (entries.size() >= requests && !answering) return true;
        if (::GetTickCount64() > deadline) return false;
        ::Sleep(50);
    }
}

Json::Value ForeignHostRequests() { return ControlGet(std::string("/log?host=") + kForeignHost)["entries"]; }

void ClearForeignHostRequests() {
    ControlPost(std::string("/log/clear?host=") + kForeignHost, Json::Value(Json::objectValue));
}

void AddUpdateHostFault(const std::string& path, Json::Value fault, int times) {
    fault["host"] = kUpdateHost;
    fault["path"] = path;
    fault["times"] = times;
    ControlPost("/faults", fault);
}

void RedirectOnUpdateHost(const std::string& path, const std::string& location, int times) {
    Json::Value fault;
    fault["redirect"] = location;
    AddUpdateHostFault(path, fault, times);
}

void ClearUpdateHostFaults() {
    ControlPost(std::string("/faults/clear?host=") + kUpdateHost, Json::Value(Json::objectValue));
}

}  // namespace brelio::test
