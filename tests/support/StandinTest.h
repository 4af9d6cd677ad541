#pragma once
#include <gtest/gtest.h>
#include <json/json.h>

#include <cstdint>
#include <string>

#include "StandinControl.h"
#include "TempFolder.h"

namespace brelio::test {

// A test against the stand-in with an account of its own, signed in, and a
// scratch folder.
class StandinTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Items: [{"path": "/a/b.txt", "type": "file", "size": n | "content": base64}]
    Json::Value Seed(const Json::Value& items);
    Json::Value Remote(Json::Value change);
    // Requests the client sent since the last ClearLog.
    Json::Value Requests();
    void ClearLog();
    void AddFault(Json::Value fault);
    void ClearFaults();
    // The stand-in's view of an item: its file object with size and sha256.
    Json::Value Item(uint64_t id);
    Json::Value ItemAt(const std::string& path);

    StandinAccount m_account;
    CTempFolder m_folder;
};

uint64_t IdOf(const Json::Value& item);

}  // namespace brelio::test
