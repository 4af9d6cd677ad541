#pragma once
#include <json/json.h>

#include <string>

namespace brelio::test {

// The stand-in's update host: what /release/drive/win answers and the
// cabinets it links to. One release is served at a time: tests that set
// it hold the registry lock, which every update test that runs the
// updater takes.
void SetReleaseManifest(const std::string& text);
// A manifest of "version", "link-x64" and, when `force` is not empty, that
// JSON value as "force".
void SetRelease(const std::string& version, const std::string& link, const std::string& force = "");
// Serves the file at the Linux path `unixPath` under `name`.
void AddReleaseFile(const std::string& name, const std::string& unixPath);
void ClearRelease();
// Where the update host serves a file added under `name`.
std::string ReleaseFileLink(const std::string& name);
// The same server and path, but not under the update host's name.
std::string ForeignFileLink(const std::string& name);

// Requests to the update host since the last clear.
Json::Value UpdateHostRequests();
void ClearUpdateHostRequests();

}  // namespace brelio::test
