#include <gtest/gtest.h>

#include <windows.h>

#include "BrelioSync/SyncItem.h"
#include "DriverProcess.h"
#include "DriverTest.h"
#include "Sha256.h"

using namespace brelio::test;

namespace {

class EngineDriver : public DriverTest {};

TEST_F(EngineDriver, FullSyncFromStoredSettings) {
    Seed({FolderItem("/docs"), FileItem("/docs/a.bin", 5000), FileItem("/top.bin", 10)});
    const auto lines = RunEngineDriver("start\nfull\nwait\npartial\nwait\ndump\nquit\n");
    ASSERT_FALSE(lines.empty()) << "the driver ran";
    EXPECT_EQ(Event(lines, "started")["result"].asString(), "0x00000000");
    EXPECT_TRUE(Event(lines, "error").isNull());
    size_t passEnds = 0;
    for (const Json::Value& line : lines) passEnds += line["event"].asString() == "pass-end" ? 1 : 0;
    EXPECT_EQ(passEnds, 2u) << "the full pass and the partial pass";

    EXPECT_EQ(Sha256HexOfFile(m_root + L"\\docs\\a.bin"), ItemAt("/docs/a.bin")["sha256"].asString());
    EXPECT_EQ(Sha256HexOfFile(m_root + L"\\top.bin"), ItemAt("/top.bin")["sha256"].asString());

    const auto items = Lines(lines, "item");
    size_t done = 0, status = 0, failed = 0;
    for (const Json::Value& item : items) {
        if (item["kind"].asInt() == SYNC_ITEM_DONE) ++done;
        if (item["kind"].asInt() == SYNC_ITEM_STATUS) ++status;
        if (item["kind"].asInt() == SYNC_ITEM_FAILED) ++failed;
    }
    EXPECT_EQ(done, 3u) << "a folder and two files";
    EXPECT_EQ(status, 4u) << "each pass started and completed";
    EXPECT_EQ(failed, 0u);

    const auto rows = Lines(lines, "row");
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0]["name"].asString(), "docs");
    EXPECT_EQ(rows[1]["name"].asString(), "docs\\a.bin");
    EXPECT_EQ(rows[1]["size"].asInt(), 5000);
    for (const Json::Value& row : rows) EXPECT_EQ(row["status"].asInt(), 1);
}

TEST_F(EngineDriver, SessionErrorBecomesTheSignOutRequest) {
    Json::Value fault;
    fault["method"] = "GET";
    fault["path"] = "^/files";
    fault["envelope"]["resultCode"] = -15400201;
    fault["envelope"]["httpStatus"] = 200;
    fault["times"] = -1;
    AddFault(fault);
    const auto lines = RunEngineDriver("start\nfull\nwait\nquit\n");
    const auto frame = Lines(lines, "frame");
    ASSERT_EQ(frame.size(), 1u);
    EXPECT_EQ(frame[0]["wParam"].asInt(), 2);
    EXPECT_EQ(frame[0]["lParam"].asString(), "0xa0000011");
    for (const Json::Value& item : Lines(lines, "item")) EXPECT_NE(item["kind"].asInt(), SYNC_ITEM_FAILED);
}

}  // namespace

TEST_F(EngineDriver, StopEndsEveryThreadAndARestartSyncsAgain) {
    Seed({FileItem("/a.bin", 100)});
    const auto lines = RunEngineDriver("start\nstart\nfull\nwait\nstop\nstart\nfull\nwait\nstop\nquit\n");
    std::vector<std::string> starts, stops;
    size_t passEnds = 0;
    for (const Json::Value& line : lines) {
        const std::string event = line["event"].asString();
        if (event == "started") starts.push_back(line["result"].asString());
        if (event == "stopped") stops.push_back(line["result"].asString());
        if (event == "pass-end") ++passEnds;
    }
    // A start while the threads run starts none of them a second time.
    EXPECT_EQ(starts, (std::vector<std::string>{"0x00000000", "0x800700aa", "0x00000000"}));
    EXPECT_EQ(stops, (std::vector<std::string>{"0x00000000", "0x00000000"}));
    EXPECT_EQ(passEnds, 2u);
    EXPECT_EQ(::GetFileAttributesW((m_root + L"\\$$$__STOP__$$$").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(Sha256HexOfFile(m_root + L"\\a.bin"), ItemAt("/a.bin")["sha256"].asString());
}
