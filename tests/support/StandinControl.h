#pragma once
#include <json/json.h>

#include <string>

namespace brelio::test {

// The stand-in's control interface. A failed call fails the running test
// and returns a null value.
Json::Value ControlGet(const std::string& pathAndQuery);
Json::Value ControlPost(const std::string& pathAndQuery, const Json::Value& body);

struct StandinAccount {
    std::string session;
    std::string driveId;
    std::string tenant;
    std::string tenantDomain;
    // The two header lines the client sends for this account.
    std::wstring SessionHeader() const;
};

StandinAccount CreateAccount(const std::string& tenant = "acme", const std::string& userCode = "user@acme");

}  // namespace brelio::test
