#pragma once
#include <json/json.h>

#include <string>

namespace brelio::test {

// The stand-in's update host: what /release/drive/win answers and the
// cabinets it links to. One release is served at a time: tests that set
// it hold the registry lock, which every update test that runs the
// updater takes.
void SetReleaseManifest(const std::string& text);
// The same manifest with blanks after it, `bytes` long in all.
void SetPaddedReleaseManifest(const std::string& text, size_t bytes);
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
// An address of `path` (with its query) on the update host, and on the
// foreign host that serves the same release.
std::string UpdateHostLink(const std::string& path);
std::string ForeignHostLink(const std::string& path);

// Requests to the update host since the last clear.
Json::Value UpdateHostRequests();
void ClearUpdateHostRequests();
// Waits (bounded) until the update host has answered `requests` requests
// since the last clear and has nothing more to send: every answer went out
// whole or lost its client. False after the bound.
bool WaitUntilUpdateHostAnswered(size_t requests, unsigned long timeoutMs = 120000);
// Requests that reached the foreign host since the last clear.
Json::Value ForeignHostRequests();
void ClearForeignHostRequests();

// Update host faults: the requests whose path (and "?query") matches the
// regular expression `path` are answered otherwise, `times` times (-1:
// always).
void AddUpdateHostFault(const std::string& path, Json::Value fault, int times = 1);
// ... with a 302 to `location`.
void RedirectOnUpdateHost(const std::string& path, const std::string& location, int times = 1);
void ClearUpdateHostFaults();

}  // namespace brelio::test
