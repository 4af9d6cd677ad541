// The sync folder lost while the program is off, across the starts that
// follow: the one that finds the folder made anew and empty, and the one
// that finds only what the user saved into it since.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "BrelioApp/StringIds.h"
#include "DriveTree.h"
#include "DriverProcess.h"
#include "DriverTest.h"
#include "Sha256.h"

using namespace brelio::test;

namespace {

class SyncFolderLoss : public DriverTest {
protected:
    // One start of the program: the engine from the stored settings, the
    // full pass every start requests, and the end.
    std::vector<Json::Value> StartSyncAndEnd() {
        const std::vector<Json::Value> lines = RunEngineDriver("start\nfull\nwait\nquit\n");
        EXPECT_EQ(Event(lines, "started")["result"].asString(), "0x00000000");
        EXPECT_FALSE(Event(lines, "bye").isNull()) << "the run ended";
        return lines;
    }

    // The status each pass of the run closed with.
    static std::vector<int> ClosingStatuses(const std::vector<Json::Value>& lines) {
        std::vector<int> statuses;
        for (const Json::Value& line : lines)
            if (line["event"].asString() == "pass-end") statuses.push_back(line["status"].asInt());
        return statuses;
    }

    DriveTree Drive() const { return RemoteTree(m_account.session); }
};

TEST_F(SyncFolderLoss, TheDriveStaysAndComesBackAndWhatWasSavedGoesUp) {
    Json::Value items(Json::arrayValue);
    for (const char* folder : {"/docs", "/docs/plans", "/photos", "/music"}) items.append(FolderItem(folder));
    for (const char* file : {"/top.txt", "/readme.md", "/docs/a.txt", "/docs/b.txt", "/docs/plans/q1.txt",
                             "/docs/plans/q2.txt", "/photos/1.jpg", "/photos/2.jpg", "/photos/3.jpg", "/music/x.mp3",
                             "/music/y.mp3", "/notes.txt"})
        items.append(FileItem(file, 300 + items.size()));
    Seed(items);
    const DriveTree drive = Drive();
    ASSERT_EQ(drive.size(), 16u);

    StartSyncAndEnd();
    ASSERT_EQ(TreeDifference(drive, LocalTree(m_root)), "") << "the first start synced the drive";

    // Deleted while the program is off.
    RemoveTree(m_root);
    ASSERT_FALSE(FileExists(m_root));

    std::vector<Json::Value> lines = StartSyncAndEnd();
    EXPECT_TRUE(LocalTree(m_root).empty()) << "the folder was made anew, empty";
    EXPECT_EQ(TreeDifference(drive, Drive()), "") << "an empty folder deletes nothing";
    EXPECT_EQ(ClosingStatuses(lines), std::vector<int>{IDS_SYNC_FOLDER_GONE}) << "the user is told, not reassured";

    // The user saves one file into the empty folder before the next start.
    ASSERT_TRUE(WriteFileBytes(m_root + L"\\saved.txt", "saved into the empty folder"));
    DriveTree expected = drive;
    expected["saved.txt"] = Sha256Hex("saved into the empty folder");

    lines = StartSyncAndEnd();
    EXPECT_EQ(TreeDifference(expected, Drive()), "") << "nothing went to the trash, the new file went up";
    EXPECT_EQ(TreeDifference(expected, LocalTree(m_root)), "") << "the drive's items came back";
    EXPECT_EQ(ClosingStatuses(lines), std::vector<int>{IDS_SYNC_COMPLETED});

    // That walk succeeded: from now on a missing item is a deletion again.
    ASSERT_TRUE(::DeleteFileW((m_root + L"\\top.txt").c_str()));
    EraseFromTree(expected, "top.txt");
    lines = StartSyncAndEnd();
    EXPECT_EQ(TreeDifference(expected, Drive()), "");
    EXPECT_EQ(TreeDifference(expected, LocalTree(m_root)), "");
    EXPECT_EQ(ClosingStatuses(lines), std::vector<int>{IDS_SYNC_COMPLETED});
}

}  // namespace
