#include <gtest/gtest.h>

#include "BrelioSync/RemoteLookups.h"

namespace {

ChangeInfo RemoteChange(uint64_t id, const wchar_t* path, const char* type) {
    ChangeInfo change;
    change.changeType = "updated";
    change.file.id = id;
    change.file.path = path;
    change.file.type = type;
    return change;
}

ChangeRecord Local(const wchar_t* name, uint64_t id, bool isFolder) {
    ChangeRecord record;
    record.name = name;
    record.file_id = id;
    record.is_folder = isFolder;
    record.action = 3;
    return record;
}

TEST(FindRemoteChange, ByIdOrBySamePathAndKind) {
    ChangeInfoList remote{RemoteChange(11, L"/Docs/Plan.txt", "file"), RemoteChange(12, L"//docs/sub/", "folder"),
                          RemoteChange(13, L"/other.txt", "file")};
    EXPECT_EQ(FindRemoteChange(remote, Local(L"x", 13, false)), &remote[2]);
    EXPECT_EQ(FindRemoteChange(remote, Local(L"docs\\plan.TXT", 0, false)), &remote[0]);
    EXPECT_EQ(FindRemoteChange(remote, Local(L"docs\\plan.txt", 0, true)), nullptr) << "a folder is no file";
    EXPECT_EQ(FindRemoteChange(remote, Local(L"DOCS\\SUB", 0, true)), &remote[1]) << "trailing slash and case";
    EXPECT_EQ(FindRemoteChange(remote, Local(L"none", 0, false)), nullptr);
    RemoveRemoteChange(remote, &remote[1]);
    ASSERT_EQ(remote.size(), 2u);
    EXPECT_EQ(remote[1].file.id, 13u);
}

TEST(RemotePathToRowName, StripsSlashesAndTurnsThem) {
    EXPECT_EQ(RemotePathToRowName(L"/a/b/c.txt"), L"a\\b\\c.txt");
    EXPECT_EQ(RemotePathToRowName(L"//a/b//"), L"a\\b");
    EXPECT_EQ(RemotePathToRowName(L"/"), L"");
}

TEST(GetPrivateDriveLatestRevision, FirstPrivateDriveInAnyCase) {
    DriveInfoList drives(3);
    drives[0].type = "shared";
    drives[0].latestRevision = 5;
    drives[1].type = "PRIVATE";
    drives[1].latestRevision = 42;
    drives[2].type = "private";
    drives[2].latestRevision = 43;
    EXPECT_EQ(GetPrivateDriveLatestRevision(drives), 42u);
    drives.erase(drives.begin() + 1, drives.end());
    EXPECT_EQ(GetPrivateDriveLatestRevision(drives), 0u);
}

}  // namespace
