#include "StandinRelease.h"

#include "StandinControl.h"

namespace brelio::test {
namespace {
constexpr char kUpdateHost[] = "update.localhost";
}

void SetReleaseManifest(const std::string& text) {
    Json::Value body;
    body["body"] = text;
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

std::string ReleaseFileLink(const std::string& name) {
    return "http://" + std::string(kUpdateHost) + ":" + std::to_string(BRELIO_STANDIN_PORT) +
           "/release/drive/files/" + name;
}

std::string ForeignFileLink(const std::string& name) {
    return "http://127.0.0.1:" + std::to_string(BRELIO_STANDIN_PORT) + "/release/drive/files/" + name;
}

Json::Value UpdateHostRequests() { return ControlGet(std::string("/log?host=") + kUpdateHost)["entries"]; }

void ClearUpdateHostRequests() {
    ControlPost(std::string("/log/clear?host=") + kUpdateHost, Json::Value(Json::objectValue));
}

}  // namespace brelio::test
