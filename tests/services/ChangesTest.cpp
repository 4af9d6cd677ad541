#include <gtest/gtest.h>

#include <set>

#include "BrelioServices/DriveApi.h"
#include "StandinTest.h"

using namespace brelio::test;

namespace {

class Changes : public StandinTest {
protected:
    // Makes `count` files, in one bulk change (one shared revision) or one
    // change each.
    void MakeFiles(int count, bool oneRevision) {
        Json::Value items(Json::arrayValue);
        for (int i = 0; i < count; ++i) {
            items.append(FileItem("/f" + std::to_string(i) + ".txt", 1));
            if (!oneRevision) {
                Seed(items);
                items.clear();
            }
        }
        if (oneRevision) Seed(items);
        ClearLog();
    }

    size_t ChangeRequests() {
        size_t count = 0;
        for (const Json::Value& request : Requests()) count += request["path"].asString() == "/changes";
        return count;
    }
};

std::string Page(int entries, int firstId) {
    std::string body = "{\"header\":{\"isSuccessful\":true,\"resultCode\":0},\"result\":{\"contents\":[";
    for (int i = 0; i < entries; ++i) {
        const std::string id = std::to_string(firstId + i);
        if (i) body += ",";
        body += "{\"changeType\":\"updated\",\"revision\":\"5\",\"file\":{\"id\":\"" + id +
                "\",\"name\":\"n\",\"path\":\"/n\",\"revision\":\"5\",\"type\":\"file\",\"version\":1}}";
    }
    return body + "]}}";
}

}  // namespace

// Paging stops on a short first page, or on a page that adds nothing, and
// every change comes back exactly once, also when a page ends inside a
// revision.
TEST_F(Changes, EveryChangeOnceAcrossPages) {
    struct Case {
        int files;
        bool oneRevision;
        size_t requests;
    } cases[] = {
        {1023, false, 1},
        {1024, false, 2},
        {1025, false, 3},
        {2500, true, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.files) + (c.oneRevision ? " in one revision" : ""));
        SetUp();
        MakeFiles(c.files, c.oneRevision);
        ChangeInfoList changes;
        ASSERT_EQ(GetAllChanges(0, changes), 0);
        std::set<uint64_t> ids;
        for (const ChangeInfo& change : changes) ids.insert(change.file.id);
        EXPECT_EQ(changes.size(), static_cast<size_t>(c.files));
        EXPECT_EQ(ids.size(), static_cast<size_t>(c.files));
        EXPECT_EQ(ChangeRequests(), c.requests);
    }
}

TEST_F(Changes, OnlyChangesAfterTheGivenRevision) {
    MakeFiles(3, false);
    ChangeInfoList all;
    ASSERT_EQ(GetAllChanges(0, all), 0);
    ASSERT_EQ(all.size(), 3u);
    ChangeInfoList later;
    ASSERT_EQ(GetAllChanges(all[0].revision, later), 0);
    ASSERT_EQ(later.size(), 2u);
    EXPECT_EQ(later[0].file.id, all[1].file.id);
}

// A server that keeps answering with the same page must not keep the
// client paging forever.
TEST_F(Changes, RepeatedPageEndsThePaging) {
    Json::Value fault;
    fault["path"] = "^/changes";
    fault["status"] = 200;
    fault["body"] = Page(1024, 100);
    fault["times"] = -1;
    AddFault(fault);
    ChangeInfoList changes;
    EXPECT_EQ(GetAllChanges(0, changes), 0);
    EXPECT_EQ(changes.size(), 1024u);
    EXPECT_EQ(ChangeRequests(), 2u);

    // One that repeats its tail and then goes on loses nothing and
    // doubles nothing.
    ClearFaults();
    ClearLog();
    fault["times"] = 1;
    AddFault(fault);
    fault["body"] = Page(10, 1123);  // ids 1123..1132: the tail again, then nine new
    AddFault(fault);
    ChangeInfoList more;
    EXPECT_EQ(GetAllChanges(0, more), 0);
    EXPECT_EQ(more.size(), 1033u);
    std::set<uint64_t> ids;
    for (const ChangeInfo& change : more) ids.insert(change.file.id);
    EXPECT_EQ(ids.size(), more.size());
}

TEST_F(Changes, FailingPageKeepsWhatCameBefore) {
    MakeFiles(1030, true);
    Json::Value fault;
    fault["path"] = "^/changes\\?.*fileId=[1-9]";
    fault["status"] = 500;
    AddFault(fault);
    ChangeInfoList changes;
    EXPECT_EQ(GetAllChanges(0, changes), API_E_HTTP_STATUS);
    EXPECT_EQ(changes.size(), 1024u);
}
