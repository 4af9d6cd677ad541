// One change on each side of a synced folder A (a1.txt, a2.txt), then the
// passes, then the three rules: both sides hold the same tree, nothing
// created or edited is lost, and no user's move, rename or edit is undone.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "TwoSidedTest.h"

using namespace brelio::test;

namespace {

const ExpectedTree kStart = {{"A", kFolderMark}, {"A/a1.txt", "a1 base"}, {"A/a2.txt", "a2 base"}};
constexpr char kConflictOfA1[] = "A/a1(conflicted and copied from *).txt";

using Change = std::function<void(TwoSidedTest&)>;

struct TwoSidedCase {
    const char* name;
    Change local;
    Change remote;
    // The whole tree afterwards, on both sides.
    ExpectedTree expected;
    // Every content written on either side, which must survive.
    std::vector<std::string> written;
    // The synced tree the case starts from, when not kStart.
    const ExpectedTree* start = nullptr;
};

void Nothing(TwoSidedTest&) {}

std::ostream& operator<<(std::ostream& out, const TwoSidedCase& row) { return out << row.name; }

const TwoSidedCase kCases[] = {
    // A change beats a delete: the changed items come back on the deleting
    // side, a folder holding only them; the rest stays deleted.
    {"LocalFolderDeleteAgainstRemoteEditInside",
     [](TwoSidedTest& t) { t.LocalDelete("A"); },
     [](TwoSidedTest& t) { t.RemoteWrite("A/a1.txt", "a1 remote"); },
     {{"A", kFolderMark}, {"A/a1.txt", "a1 remote"}},
     {"a1 remote"}},
    {"LocalFolderDeleteAgainstRemoteAddInside",
     [](TwoSidedTest& t) { t.LocalDelete("A"); },
     [](TwoSidedTest& t) { t.RemoteWrite("A/a3.txt", "a3 remote"); },
     {{"A", kFolderMark}, {"A/a3.txt", "a3 remote"}},
     {"a3 remote"}},
    {"RemoteFolderTrashAgainstLocalEditInside",
     [](TwoSidedTest& t) { t.LocalWrite("A/a1.txt", "a1 local"); },
     [](TwoSidedTest& t) { t.RemoteTrash("A"); },
     {{"A", kFolderMark}, {"A/a1.txt", "a1 local"}},
     {"a1 local"}},
    {"RemoteFolderTrashAgainstLocalAddInside",
     [](TwoSidedTest& t) { t.LocalWrite("A/a3.txt", "a3 local"); },
     [](TwoSidedTest& t) { t.RemoteTrash("A"); },
     {{"A", kFolderMark}, {"A/a3.txt", "a3 local"}},
     {"a3 local"}},
    {"LocalFileDeleteAgainstRemoteEdit",
     [](TwoSidedTest& t) { t.LocalDelete("A/a1.txt"); },
     [](TwoSidedTest& t) { t.RemoteWrite("A/a1.txt", "a1 remote"); },
     {{"A", kFolderMark}, {"A/a1.txt", "a1 remote"}, {"A/a2.txt", "a2 base"}},
     {"a1 remote"}},
    {"RemoteFileTrashAgainstLocalEdit",
     [](TwoSidedTest& t) { t.LocalWrite("A/a1.txt", "a1 local"); },
     [](TwoSidedTest& t) { t.RemoteTrash("A/a1.txt"); },
     {{"A", kFolderMark}, {"A/a1.txt", "a1 local"}, {"A/a2.txt", "a2 base"}},
     {"a1 local"}},
    {"LocalFileDeleteWhileTheOtherSideIsUnchanged",
     [](TwoSidedTest& t) { t.LocalDelete("A/a1.txt"); },
     Nothing,
     {{"A", kFolderMark}, {"A/a2.txt", "a2 base"}},
     {}},

    // A renamed item survives a delete under its new name.
    {"LocalFolderDeleteAgainstRemoteRename",
     [](TwoSidedTest& t) { t.LocalDelete("A"); },
     [](TwoSidedTest& t) { t.RemoteRename("A", "R"); },
     {{"R", kFolderMark}},
     {}},
    {"RemoteFolderTrashAgainstLocalRename",
     [](TwoSidedTest& t) { t.LocalMove("A", "L"); },
     [](TwoSidedTest& t) { t.RemoteTrash("A"); },
     {{"L", kFolderMark}},
     {}},
    {"LocalFileDeleteAgainstRemoteRename",
     [](TwoSidedTest& t) { t.LocalDelete("A/a1.txt"); },
     [](TwoSidedTest& t) { t.RemoteRename("A/a1.txt", "r1.txt"); },
     {{"A", kFolderMark}, {"A/r1.txt", "a1 base"}, {"A/a2.txt", "a2 base"}},
     {}},
    {"RemoteFileTrashAgainstLocalRename",
     [](TwoSidedTest& t) { t.LocalMove("A/a1.txt", "A/l1.txt"); },
     [](TwoSidedTest& t) { t.RemoteTrash("A/a1.txt"); },
     {{"A", kFolderMark}, {"A/l1.txt", "a1 base"}, {"A/a2.txt", "a2 base"}},
     {}},

    // Renamed differently on both sides: the remote name wins.
    {"FolderRenamedOnBothSides",
     [](TwoSidedTest& t) { t.LocalMove("A", "L"); },
     [](TwoSidedTest& t) { t.RemoteRename("A", "R"); },
     {{"R", kFolderMark}, {"R/a1.txt", "a1 base"}, {"R/a2.txt", "a2 base"}},
     {}},
    {"FileRenamedOnBothSides",
     [](TwoSidedTest& t) { t.LocalMove("A/a1.txt", "A/l1.txt"); },
     [](TwoSidedTest& t) { t.RemoteRename("A/a1.txt", "r1.txt"); },
     {{"A", kFolderMark}, {"A/r1.txt", "a1 base"}, {"A/a2.txt", "a2 base"}},
     {}},

    // A rename on one side and an edit on the other both apply.
    {"LocalRenameAgainstRemoteEdit",
     [](TwoSidedTest& t) { t.LocalMove("A/a1.txt", "A/l1.txt"); },
     [](TwoSidedTest& t) { t.RemoteWrite("A/a1.txt", "a1 remote"); },
     {{"A", kFolderMark}, {"A/l1.txt", "a1 remote"}, {"A/a2.txt", "a2 base"}},
     {"a1 remote"}},
    {"RemoteRenameAgainstLocalEdit",
     [](TwoSidedTest& t) { t.LocalWrite("A/a1.txt", "a1 local"); },
     [](TwoSidedTest& t) { t.RemoteRename("A/a1.txt", "r1.txt"); },
     {{"A", kFolderMark}, {"A/r1.txt", "a1 local"}, {"A/a2.txt", "a2 base"}},
     {"a1 local"}},
    {"LocalRenameAndEditAgainstRemoteEdit",
     [](TwoSidedTest& t) {
         t.LocalWrite("A/a1.txt", "a1 local");
         t.LocalMove("A/a1.txt", "A/l1.txt");
     },
     [](TwoSidedTest& t) { t.RemoteWrite("A/a1.txt", "a1 remote"); },
     {{"A", kFolderMark},
      {"A/l1.txt", "a1 remote"},
      {"A/l1(conflicted and copied from *).txt", "a1 local"},
      {"A/a2.txt", "a2 base"}},
     {"a1 local", "a1 remote"}},

    // Local moves reach the drive at the new place; nothing moves back.
    {"LocalEditRenameAndMoveInOneGo",
     [](TwoSidedTest& t) {
         t.LocalWrite("A/a1.txt", "a1 local");
         t.LocalMove("A/a1.txt", "A/m1.txt");
         t.LocalMove("A/m1.txt", "m1.txt");
     },
     Nothing,
     {{"A", kFolderMark}, {"A/a2.txt", "a2 base"}, {"m1.txt", "a1 local"}},
     {"a1 local"}},
    {"LocalFileMoveToAnotherFolder",
     [](TwoSidedTest& t) { t.LocalMove("A/a1.txt", "a1.txt"); },
     Nothing,
     {{"A", kFolderMark}, {"A/a2.txt", "a2 base"}, {"a1.txt", "a1 base"}},
     {}},
    {"LocalFolderMoveIntoANewFolder",
     [](TwoSidedTest& t) {
         t.LocalMakeFolder("N");
         t.LocalMove("A", "N/A");
     },
     Nothing,
     {{"N", kFolderMark}, {"N/A", kFolderMark}, {"N/A/a1.txt", "a1 base"}, {"N/A/a2.txt", "a2 base"}},
     {}},
    {"LocalFileMoveAgainstRemoteEdit",
     [](TwoSidedTest& t) { t.LocalMove("A/a1.txt", "a1.txt"); },
     [](TwoSidedTest& t) { t.RemoteWrite("A/a1.txt", "a1 remote"); },
     {{"A", kFolderMark}, {"A/a2.txt", "a2 base"}, {"a1.txt", "a1 remote"}},
     {"a1 remote"}},

    // Local edits made while the program was not running: no change record,
    // only the file against its row.
    {"RemoteMoveAndEditAgainstOfflineLocalEdit",
     [](TwoSidedTest& t) { t.LocalWrite("A/a1.txt", "a1 offline", false); },
     [](TwoSidedTest& t) {
         t.RemoteMove("A/a1.txt", "");
         t.RemoteWrite("a1.txt", "a1 remote");
     },
     {{"A", kFolderMark},
      {"A/a2.txt", "a2 base"},
      {"a1.txt", "a1 remote"},
      {"a1(conflicted and copied from *).txt", "a1 offline"}},
     {"a1 offline", "a1 remote"}},
    {"RemoteFolderTrashAgainstOfflineLocalEditInside",
     [](TwoSidedTest& t) { t.LocalWrite("A/a1.txt", "a1 offline", false); },
     [](TwoSidedTest& t) { t.RemoteTrash("A"); },
     {{"A", kFolderMark}, {"A/a1.txt", "a1 offline"}},
     {"a1 offline"}},
    {"RemoteFileTrashAgainstOfflineLocalEdit",
     [](TwoSidedTest& t) { t.LocalWrite("A/a1.txt", "a1 offline", false); },
     [](TwoSidedTest& t) { t.RemoteTrash("A/a1.txt"); },
     {{"A", kFolderMark}, {"A/a1.txt", "a1 offline"}, {"A/a2.txt", "a2 base"}},
     {"a1 offline"}},
};

class TwoSidedScenario : public TwoSidedTest, public ::testing::WithParamInterface<TwoSidedCase> {};

TEST_P(TwoSidedScenario, ConvergesLosesNothingAndKeepsTheUsersAction) {
    const TwoSidedCase& row = GetParam();
    ASSERT_NO_FATAL_FAILURE(StartSynced(row.start != nullptr ? *row.start : kStart));
    ASSERT_NO_FATAL_FAILURE(row.local(*this));
    ASSERT_NO_FATAL_FAILURE(row.remote(*this));
    bool convergedAfterPartials = false;
    RunPasses(&convergedAfterPartials);
    EXPECT_TRUE(Converged());
    EXPECT_TRUE(Kept(row.written));
    EXPECT_TRUE(Holds(row.expected));
    EXPECT_TRUE(convergedAfterPartials) << "the partial passes alone should have settled it";
}

INSTANTIATE_TEST_SUITE_P(Cases, TwoSidedScenario, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<TwoSidedCase>& info) { return info.param.name; });

// Folders moved into one another on the two sides.
const ExpectedTree kThreeFolders = {{"E", kFolderMark}, {"E/e1.txt", "e1 base"}, {"X", kFolderMark},
                                    {"X/x1.txt", "x1 base"}, {"C", kFolderMark}, {"C/c1.txt", "c1 base"}};

const ExpectedTree kNestedFolders = {{"P", kFolderMark}, {"P/p1.txt", "p1 base"}, {"P/K", kFolderMark},
                                     {"P/K/k1.txt", "k1 base"}};

const TwoSidedCase kFolderMoveCases[] = {
    // Moves that together would put a folder inside itself: the drive's
    // moves stand, the local move that closes the loop is undone, and
    // every item is kept.
    {"LocalMoveIntoAFolderTheDriveMovedInsideIt",
     [](TwoSidedTest& t) { t.LocalMove("E", "X/E"); },
     [](TwoSidedTest& t) { t.RemoteMove("X", "E"); },
     {{"E", kFolderMark}, {"E/e1.txt", "e1 base"}, {"E/X", kFolderMark}, {"E/X/x1.txt", "x1 base"},
      {"C", kFolderMark}, {"C/c1.txt", "c1 base"}},
     {},
     &kThreeFolders},
    {"LocalMoveClosingALoopThroughAThirdFolder",
     [](TwoSidedTest& t) { t.LocalMove("E", "X/E"); },
     [](TwoSidedTest& t) {
         t.RemoteMove("X", "C");
         t.RemoteMove("C", "E");
     },
     {{"E", kFolderMark}, {"E/e1.txt", "e1 base"}, {"E/C", kFolderMark}, {"E/C/c1.txt", "c1 base"},
      {"E/C/X", kFolderMark}, {"E/C/X/x1.txt", "x1 base"}},
     {},
     &kThreeFolders},
    {"LocalMovesClosingALoopWithADriveMove",
     [](TwoSidedTest& t) {
         t.LocalMove("X", "C/X");
         t.LocalMove("C", "E/C");
     },
     [](TwoSidedTest& t) { t.RemoteMove("E", "X"); },
     {{"X", kFolderMark}, {"X/x1.txt", "x1 base"}, {"X/E", kFolderMark}, {"X/E/e1.txt", "e1 base"},
      {"X/E/C", kFolderMark}, {"X/E/C/c1.txt", "c1 base"}},
     {},
     &kThreeFolders},
    // Not a loop: the inner folder comes out first. The drive's addition
    // inside it follows it, once.
    {"LocalInnerFolderMovedOutAndItsParentMovedIntoIt",
     [](TwoSidedTest& t) {
         t.LocalMove("P/K", "K");
         t.LocalMove("P", "K/P");
     },
     [](TwoSidedTest& t) { t.RemoteWrite("P/K/k2.txt", "k2 remote"); },
     {{"K", kFolderMark}, {"K/k1.txt", "k1 base"}, {"K/k2.txt", "k2 remote"}, {"K/P", kFolderMark},
      {"K/P/p1.txt", "p1 base"}},
     {"k2 remote"},
     &kNestedFolders},
    // Deleted here, while the drive moved a folder out of it: as against a
    // rename, the moved folder survives, holding only what changed.
    {"LocalFolderDeleteAgainstRemoteMoveOfAFolderOutOfIt",
     [](TwoSidedTest& t) { t.LocalDelete("P"); },
     [](TwoSidedTest& t) { t.RemoteMove("P/K", ""); },
     {{"K", kFolderMark}},
     {},
     &kNestedFolders},
    {"LocalFolderDeleteAgainstRemoteMoveIntoAFolderRenamedAfter",
     [](TwoSidedTest& t) { t.LocalDelete("E"); },
     [](TwoSidedTest& t) {
         t.RemoteMove("E", "X");
         t.RemoteRename("X", "Y");
     },
     {{"Y", kFolderMark}, {"Y/E", kFolderMark}, {"Y/x1.txt", "x1 base"}, {"C", kFolderMark}, {"C/c1.txt", "c1 base"}},
     {},
     &kThreeFolders},
    // Moved and edited here into a folder the drive trashed: the folder
    // comes back holding it.
    {"LocalMoveAndEditIntoAFolderTrashedOnTheDrive",
     [](TwoSidedTest& t) {
         t.LocalMove("X/x1.txt", "E/x1.txt");
         t.LocalWrite("E/x1.txt", "x1 local");
     },
     [](TwoSidedTest& t) { t.RemoteTrash("E"); },
     {{"E", kFolderMark}, {"E/x1.txt", "x1 local"}, {"X", kFolderMark}, {"C", kFolderMark}, {"C/c1.txt", "c1 base"}},
     {"x1 local"},
     &kThreeFolders},
    // Moved into a folder that is then deleted here: an edit made inside on
    // the drive beats the delete.
    {"LocalFolderMovedIntoAFolderDeletedAfterAgainstRemoteEditInside",
     [](TwoSidedTest& t) {
         t.LocalMove("E", "X/E");
         t.LocalDelete("X");
     },
     [](TwoSidedTest& t) { t.RemoteWrite("E/e1.txt", "e1 remote"); },
     {{"E", kFolderMark}, {"E/e1.txt", "e1 remote"}, {"C", kFolderMark}, {"C/c1.txt", "c1 base"}},
     {"e1 remote"},
     &kThreeFolders},
};

INSTANTIATE_TEST_SUITE_P(FolderMoves, TwoSidedScenario, ::testing::ValuesIn(kFolderMoveCases),
                         [](const ::testing::TestParamInfo<TwoSidedCase>& info) { return info.param.name; });

class TwoSidedTransfer : public TwoSidedTest {};

// The download's path is masked from the monitor for the whole transfer,
// so a save made meanwhile is never recorded: only a look at the file
// before it is replaced keeps it.
TEST_F(TwoSidedTransfer, ALocalSaveDuringTheDownloadOfTheSameFileSurvives) {
    ASSERT_NO_FATAL_FAILURE(StartSynced(kStart));
    RemoteWrite("A/a1.txt", "a1 remote");
    Json::Value slow;
    slow["method"] = "GET";
    slow["path"] = "media=raw";
    slow["delayMs"] = 1500;
    AddFault(slow);
    Known("a1 saved during the download");
    std::atomic<bool> saved{false};
    std::thread editor([&] {
        const std::wstring folder = LocalPath("A");
        for (int attempt = 0; attempt < 1000 && CountMatching(folder, L"$$$*.tmp") == 0; ++attempt) ::Sleep(5);
        saved = WriteFileBytes(LocalPath("A/a1.txt"), "a1 saved during the download");
    });
    RunPartial();
    editor.join();
    ASSERT_TRUE(saved) << "the save did not land during the download";
    RunPasses();
    EXPECT_TRUE(Converged());
    EXPECT_TRUE(Kept({"a1 saved during the download", "a1 remote"}));
    EXPECT_TRUE(Holds({{"A", kFolderMark},
                       {"A/a1.txt", "a1 remote"},
                       {kConflictOfA1, "a1 saved during the download"},
                       {"A/a2.txt", "a2 base"}}));
}

// The drive adds a file to a folder while the folder's move here goes up
// as a copy: the file comes along into the copy, and the old folder goes
// to the trash only after that.
TEST_F(TwoSidedTransfer, AFileTheDriveAddsWhileAMovedFolderIsCopiedComesAlong) {
    ASSERT_NO_FATAL_FAILURE(StartSynced(kStart));
    LocalMakeFolder("N");
    LocalMove("A", "N/A");
    // The second folder made on the drive is the copy of A (N is the
    // first): it is held while the drive adds to the old A.
    Json::Value first;
    first["method"] = "POST";
    first["path"] = "/create-folder$";
    first["delayMs"] = 1;
    AddFault(first);
    Json::Value copy = first;
    copy["delayMs"] = 3000;
    AddFault(copy);
    Known("a3 remote");
    std::atomic<bool> added{false};
    std::thread other([&] {
        if (!WaitForFaultsTaken(60000)) return;
        Json::Value change;
        change["op"] = "upload";
        change["path"] = "/A/a3.txt";
        change["content"] = Base64("a3 remote");
        added = Remote(change).isObject();
    });
    RecordLocalChanges();
    RunPartial();
    other.join();
    ASSERT_TRUE(added) << "the drive's file did not land during the copy";
    RunPasses();
    EXPECT_TRUE(Converged());
    EXPECT_TRUE(Kept({"a3 remote"}));
    EXPECT_TRUE(Holds({{"N", kFolderMark},
                       {"N/A", kFolderMark},
                       {"N/A/a1.txt", "a1 base"},
                       {"N/A/a2.txt", "a2 base"},
                       {"N/A/a3.txt", "a3 remote"}}));
}

// A conflict keeps the local content as one copy, however many polls the
// download of the remote content takes to get through.
TEST_F(TwoSidedTransfer, ADownloadThatKeepsFailingAfterAConflictCopyMakesOneCopy) {
    ASSERT_NO_FATAL_FAILURE(StartSynced(kStart));
    LocalWrite("A/a1.txt", "a1 local");
    RemoteWrite("A/a1.txt", "a1 remote");
    Json::Value failing;
    failing["method"] = "GET";
    failing["path"] = "media=raw";
    failing["status"] = 500;
    failing["times"] = -1;
    AddFault(failing);
    RecordLocalChanges();
    for (int poll = 0; poll < 3; ++poll) {
        RunPartial();
        // The copy's name carries the time to the second.
        ::Sleep(1100);
    }
    ClearFaults();
    RunPasses();
    EXPECT_TRUE(Converged());
    EXPECT_TRUE(Holds({{"A", kFolderMark},
                       {"A/a1.txt", "a1 remote"},
                       {kConflictOfA1, "a1 local"},
                       {"A/a2.txt", "a2 base"}}));
}

// A pass cut short once an upload of a new item stands on the drive but
// before the engine learnt of it (its answer lost) leaves the record; the
// next pass finds the name taken by that very upload. The record is settled
// by it, not failed on every partial pass until a full walk comes.
constexpr char kFileUpload[] = "^/files\\?parentId=";
constexpr char kFolderCreation[] = "/create-folder$";

struct LostUploadCase {
    const char* name;
    Change local;
    Change remote;
    ExpectedTree expected;
    // The request whose answer is lost.
    const char* upload = kFileUpload;
};

std::ostream& operator<<(std::ostream& out, const LostUploadCase& row) { return out << row.name; }

const LostUploadCase kLostUploads[] = {
    {"NewFile",
     [](TwoSidedTest& t) { t.LocalWrite("A/a3.txt", "a3 local"); },
     Nothing,
     {{"A", kFolderMark}, {"A/a1.txt", "a1 base"}, {"A/a2.txt", "a2 base"}, {"A/a3.txt", "a3 local"}}},
    // Renamed here, trashed on the drive: it goes up anew under its new name.
    {"RenameAgainstATrash",
     [](TwoSidedTest& t) { t.LocalMove("A/a1.txt", "A/b1.txt"); },
     [](TwoSidedTest& t) { t.RemoteTrash("A/a1.txt"); },
     {{"A", kFolderMark}, {"A/b1.txt", "a1 base"}, {"A/a2.txt", "a2 base"}}},
    // A folder goes up anew by itself: what it held unchanged follows the
    // trash, as when the answer comes.
    {"FolderRenameAgainstATrash",
     [](TwoSidedTest& t) { t.LocalMove("A", "B"); },
     [](TwoSidedTest& t) { t.RemoteTrash("A"); },
     {{"B", kFolderMark}},
     kFolderCreation},
};

class LostUploadAnswer : public TwoSidedTest, public ::testing::WithParamInterface<LostUploadCase> {};

TEST_P(LostUploadAnswer, TheNextPartialPassSettlesTheRecord) {
    const LostUploadCase& row = GetParam();
    ASSERT_NO_FATAL_FAILURE(StartSynced(kStart));
    ASSERT_NO_FATAL_FAILURE(row.local(*this));
    ASSERT_NO_FATAL_FAILURE(row.remote(*this));
    Json::Value lost;
    lost["method"] = "POST";
    lost["path"] = row.upload;
    lost["truncate"] = 0;
    AddFault(lost);
    RecordLocalChanges();
    RunPartial();
    ASSERT_TRUE(WaitForFaultsTaken(1000)) << "the upload went out";
    ASSERT_NE(ChangeCount(), 0u) << "the cut pass leaves its record";
    RunPartial();
    EXPECT_EQ(ChangeCount(), 0u) << "the record is settled";
    EXPECT_FALSE(m_engine.IsPassIncomplete()) << "the pass did all it had to";
    EXPECT_TRUE(Converged());
    EXPECT_TRUE(Holds(row.expected));
    RunPasses();
    EXPECT_TRUE(Holds(row.expected));
}

INSTANTIATE_TEST_SUITE_P(Cases, LostUploadAnswer, ::testing::ValuesIn(kLostUploads),
                         [](const ::testing::TestParamInfo<LostUploadCase>& info) { return info.param.name; });

}  // namespace
