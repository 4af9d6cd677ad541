#pragma once
#include <json/json.h>

#include <string>
#include <vector>

namespace brelio::test {

// Runs the engine driver beside this program with the commands on its
// standard input and gives back every JSON line it printed. Empty when it
// could not be started or did not end within the time.
std::vector<Json::Value> RunEngineDriver(const std::string& commands, unsigned long timeoutMs = 120000);

}  // namespace brelio::test
