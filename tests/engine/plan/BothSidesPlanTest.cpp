// The decisions where both sides changed one item, or one side removed what
// the other changed: one table per decision, a row per case.
#include <gtest/gtest.h>

#include <functional>

#include "BrelioServices/RestFrame.h"
#include "BrelioSync/LocalChangePlan.h"
#include "PlanText.h"

using namespace brelio::test;

namespace {

constexpr wchar_t kRoot[] = L"C:\\Sync";

FileInfo DriveFile(const wchar_t* path, const char* hash) {
    FileInfo file;
    file.id = 7;
    file.path = path;
    file.hash = hash;
    file.type = "file";
    file.revision = 9;
    return file;
}

FileRecord Row(const wchar_t* name, const char* hash) {
    FileRecord row;
    row.file_id = 7;
    row.name = name;
    row.hash = hash;
    row.revision = 5;
    row.status = FILE_STATUS_SYNCED;
    return row;
}

ChangeRecord Renamed(const wchar_t* name, const wchar_t* oldName) {
    ChangeRecord record;
    record.action = CHANGE_ACTION_RENAMED;
    record.file_id = 7;
    record.name = name;
    record.old_name = oldName;
    return record;
}

// --- Following the drive's place ---

struct FollowCase {
    const char* what;
    bool samePlace;
    bool folderPresent;
    bool changedHere;
    const char* driveHash;  // the row holds "h1"
    bool isFolder;
    const char* kinds;
};

const FollowCase kFollowCases[] = {
    {"unchanged anywhere: the row takes the revision", true, true, false, "h1", false, "SetRevision,MarkSynced"},
    {"edited here only: the edit goes up", true, true, true, "h1", false, "SetRevision,UploadChanged"},
    {"edited there only: the drive's content comes", true, true, false, "h2", false, "Download"},
    {"edited on both sides: a conflict, nothing lost", true, true, true, "h2", false, "ResolveBothModified"},
    {"a hash differing in letter case only is the same content", true, true, false, "H1", false,
     "SetRevision,MarkSynced"},
    {"moved there into a folder not here yet: it waits", false, false, false, "h1", false, "Note,Fail"},
    {"moved there: followed here", false, true, false, "h1", false, "MoveLocal,MarkSynced"},
    {"moved and edited there", false, true, false, "h2", false, "MoveLocal,Download"},
    {"moved there, edited on both sides", false, true, true, "h2", false, "MoveLocal,ResolveBothModified"},
    {"moved there, edited here", false, true, true, "h1", false, "MoveLocal,UploadChanged"},
    {"a folder's content is never compared by hash", true, true, true, "h2", true, "SetRevision,MarkSynced"},
    {"a folder moved there carries what it holds", false, true, false, "h2", true, "MoveLocal,MarkSynced"},
};

class FollowRemoteMovePlan : public ::testing::TestWithParam<FollowCase> {};

TEST_P(FollowRemoteMovePlan, PlansTheActionsOfTheCase) {
    const FollowCase& row = GetParam();
    FollowMoveFacts facts;
    facts.remote = DriveFile(L"/docs/report.txt", row.driveHash);
    if (row.isFolder) facts.remote.type = "folder";
    facts.path = L"C:\\Sync\\docs\\report.txt";
    facts.row = Row(L"docs\\report.txt", "h1");
    facts.samePlace = row.samePlace;
    facts.folderPresent = row.folderPresent;
    facts.changedHere = row.changedHere;
    EXPECT_EQ(KindsOf(PlanFollowRemoteMove(facts)), row.kinds) << row.what;
}

INSTANTIATE_TEST_SUITE_P(Cases, FollowRemoteMovePlan, ::testing::ValuesIn(kFollowCases));

TEST(FollowRemoteMoveDetail, AMoveKeepsTheRecordedContentUntilTheDrivesHasCome) {
    FollowMoveFacts facts;
    facts.remote = DriveFile(L"/archive/report.txt", "h2");
    facts.path = L"C:\\Sync\\archive\\report.txt";
    facts.row = Row(L"docs\\report.txt", "h1");
    facts.folderPresent = true;
    const ActionPlan plan = PlanFollowRemoteMove(facts);
    ASSERT_EQ(KindsOf(plan), "MoveLocal,Download");
    EXPECT_EQ(plan.steps[0].hash, "h1");
    EXPECT_EQ(plan.steps[0].revision, 5u);
    EXPECT_EQ(plan.steps[1].path, L"C:\\Sync\\archive\\report.txt");
    EXPECT_EQ(plan.steps[1].insert, false);
    EXPECT_EQ(plan.steps.back().result, S_OK);
}

TEST(FollowRemoteMoveDetail, AWaitForTheFolderEndsAsPathNotFound) {
    FollowMoveFacts facts;
    facts.remote = DriveFile(L"/new/report.txt", "h1");
    facts.path = L"C:\\Sync\\new\\report.txt";
    facts.row = Row(L"docs\\report.txt", "h1");
    const ActionPlan plan = PlanFollowRemoteMove(facts);
    ASSERT_EQ(KindsOf(plan), "Note,Fail");
    EXPECT_STREQ(plan.steps[0].reason, L"%s - waits for its folder.");
    EXPECT_EQ(plan.steps[1].result, HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND));
}

// --- A local rename sent to the drive ---

struct SendCase {
    const char* what;
    std::function<void(SendRenameFacts&)> setup;
    const char* kinds;
};

const SendCase kSendCases[] = {
    {"the drive's state unknown: it waits", [](SendRenameFacts& f) { f.metaResult = E_FAIL; }, "Skip"},
    {"gone from the drive: the renamed item survives",
     [](SendRenameFacts& f) { f.metaResult = API_E_ITEM_NOT_FOUND; }, "KeepRenamedAgainstDeletion"},
    {"trashed on the drive: the renamed item survives", [](SendRenameFacts& f) { f.meta.changeType = "deleted"; },
     "KeepRenamedAgainstDeletion"},
    {"back where the drive has it, unchanged",
     [](SendRenameFacts& f) { f.meta.file.path = L"/archive/report.txt"; }, "MarkSynced"},
    {"back where the drive has it, edited",
     [](SendRenameFacts& f) {
         f.meta.file.path = L"/archive/report.txt";
         f.changedHere = true;
     },
     "UploadChanged"},
    {"back where the drive has it, no row", [](SendRenameFacts& f) {
         f.meta.file.path = L"/archive/report.txt";
         f.rowFound = S_FALSE;
     },
     ""},
    {"renamed in letter case alone: still sent",
     [](SendRenameFacts& f) {
         f.meta.file.path = L"/archive/Report.txt";
         f.sameFolder = true;
     },
     "RenameRemote,UploadUnlessRecorded"},
    {"renamed in its folder: the rename, and an edit made along with it",
     [](SendRenameFacts& f) { f.sameFolder = true; }, "RenameRemote,UploadUnlessRecorded"},
    {"a folder renamed in its folder carries its subtree with it",
     [](SendRenameFacts& f) {
         f.record.is_folder = true;
         f.sameFolder = true;
     },
     "RenameRemote"},
    {"moved to another folder: up anew there, the old one to the trash after", nullptr, "MoveRemoteByCopy"},
    {"moved, and changed on the drive meanwhile: that content comes first",
     [](SendRenameFacts& f) { f.meta.file.hash = "h2"; }, "FollowRemoteMove,MoveRemoteByCopy"},
    {"moved, its row unreadable", [](SendRenameFacts& f) { f.rowFound = E_FAIL; }, "Fail"},
    {"a folder moved to another folder", [](SendRenameFacts& f) { f.record.is_folder = true; }, "MoveRemoteByCopy"},
};

class SendLocalRenamePlan : public ::testing::TestWithParam<SendCase> {};

TEST_P(SendLocalRenamePlan, PlansTheActionsOfTheCase) {
    const SendCase& row = GetParam();
    SendRenameFacts facts;
    facts.root = kRoot;
    facts.record = Renamed(L"archive\\report.txt", L"docs\\report.txt");
    facts.fullPath = L"C:\\Sync\\archive\\report.txt";
    facts.metaResult = S_OK;
    facts.meta.changeType = "updated";
    facts.meta.file = DriveFile(L"/docs/report.txt", "h1");
    facts.rowFound = S_OK;
    facts.row = Row(L"docs\\report.txt", "h1");
    if (row.setup) row.setup(facts);
    EXPECT_EQ(KindsOf(PlanSendLocalRename(facts)), row.kinds) << row.what;
}

INSTANTIATE_TEST_SUITE_P(Cases, SendLocalRenamePlan, ::testing::ValuesIn(kSendCases));

TEST(SendLocalRenameDetail, TheDrivesFolderIsAskedOnlyWhenTheItemIsNotBackAtItsPlace) {
    SendRenameFacts facts;
    facts.record = Renamed(L"docs\\report.txt", L"docs\\draft.txt");
    facts.metaResult = S_OK;
    facts.meta.changeType = "updated";
    facts.meta.file.path = L"/docs/report.txt";
    EXPECT_FALSE(NeedsFolderOfRename(facts));
    facts.meta.file.path = L"/docs/Report.txt";
    EXPECT_TRUE(NeedsFolderOfRename(facts));
    facts.meta.changeType = "deleted";
    EXPECT_FALSE(NeedsFolderOfRename(facts));
}

// --- Renamed here while the drive changed the item ---

struct AgainstCase {
    const char* what;
    const wchar_t* drivePath;
    const wchar_t* syncedName;
    bool sameFolder;
    const char* kinds;
};

const AgainstCase kAgainstCases[] = {
    {"renamed differently there: the drive's name wins", L"/docs/final.txt", L"docs\\report.txt", true,
     "Note,FollowRemoteMove"},
    {"moved there to another folder: the drive's place wins", L"/old/report.txt", L"docs\\report.txt", false,
     "Note,FollowRemoteMove"},
    {"only a folder above renamed there: the local rename is sent after the content",
     L"/papers/report.txt", L"docs\\report.txt", true, "FollowRemoteMove,SendLocalRename"},
    {"the drive's name unusable here", L"/docs/aux.txt", L"docs\\report.txt", true, "Skip"},
};

class RenameAgainstRemotePlan : public ::testing::TestWithParam<AgainstCase> {};

TEST_P(RenameAgainstRemotePlan, PlansTheActionsOfTheCase) {
    const AgainstCase& row = GetParam();
    RenameAgainstRemoteFacts facts;
    facts.root = kRoot;
    facts.record = Renamed(L"docs\\notes.txt", L"docs\\report.txt");
    facts.fullPath = L"C:\\Sync\\docs\\notes.txt";
    facts.change.changeType = "updated";
    facts.change.file = DriveFile(row.drivePath, "h2");
    facts.rowFound = S_OK;
    facts.row = Row(L"docs\\report.txt", "h1");
    facts.syncedName = row.syncedName;
    facts.sameFolder = row.sameFolder;
    EXPECT_EQ(KindsOf(PlanRenameAgainstRemote(facts)), row.kinds) << row.what;
}

INSTANTIATE_TEST_SUITE_P(Cases, RenameAgainstRemotePlan, ::testing::ValuesIn(kAgainstCases));

TEST(RenameAgainstRemoteDetail, TrashedThereTheRenamedItemSurvives) {
    RenameAgainstRemoteFacts facts;
    facts.change.changeType = "deleted";
    EXPECT_EQ(KindsOf(PlanRenameAgainstRemote(facts)), "KeepRenamedAgainstDeletion");
    EXPECT_FALSE(NeedsFolderOfSyncedName(facts));
}

TEST(RenameAgainstRemoteDetail, RenamedDifferentlyTheDrivesPlaceIsFollowed) {
    RenameAgainstRemoteFacts facts;
    facts.root = kRoot;
    facts.record = Renamed(L"docs\\notes.txt", L"docs\\report.txt");
    facts.fullPath = L"C:\\Sync\\docs\\notes.txt";
    facts.change.changeType = "updated";
    facts.change.file = DriveFile(L"/docs/final.txt", "h1");
    facts.rowFound = S_OK;
    facts.syncedName = L"docs\\report.txt";
    EXPECT_FALSE(NeedsFolderOfSyncedName(facts));
    const ActionPlan plan = PlanRenameAgainstRemote(facts);
    ASSERT_EQ(plan.steps.size(), 2u);
    EXPECT_EQ(plan.steps[0].path, L"C:\\Sync\\docs\\notes.txt");
    EXPECT_EQ(plan.steps[1].path, L"C:\\Sync\\docs\\final.txt");
}

// --- Renamed here, trashed there ---

struct DeletionCase {
    const char* what;
    bool isFolder;
    HRESULT parentFound;
    uint64_t parentId;
    bool found;
    const char* kinds;
    // The drive has a file at the new name already, in this pass's changes.
    bool standing = false;
};

const DeletionCase kDeletionCases[] = {
    {"a file goes up again as a new item", false, S_OK, 3, false, "Note,UploadNew"},
    {"a folder goes up again, each item settled on its own", true, S_OK, 3, true, "Note,CreateRemoteFolderInAndWalk"},
    {"a folder gone here meanwhile", true, S_OK, 3, false, "Note"},
    {"its parent not synced yet: it waits", false, S_FALSE, 0, false, "Note,Skip"},
    {"its parent unknown: it waits", false, S_OK, kUnknownParentId, false, "Note,Skip"},
    {"its parent unreadable", false, E_FAIL, 0, false, "Note,Fail"},
    {"a file whose name the drive holds already: that item is met, not a second upload", false, S_OK, 3, false,
     "Note,ResolveBothModified", true},
    {"a folder whose name the drive holds already: that folder takes the row and is filled, not made again", true,
     S_OK, 3, true, "Note,RecordRemoteFolder,WalkFolder", true},
    {"a folder whose name the drive holds, gone here meanwhile", true, S_OK, 3, false, "Note", true},
};

class RenamedAgainstDeletionPlan : public ::testing::TestWithParam<DeletionCase> {};

TEST_P(RenamedAgainstDeletionPlan, PlansTheActionsOfTheCase) {
    const DeletionCase& row = GetParam();
    RenamedAgainstDeletionFacts facts;
    facts.record = Renamed(L"docs\\notes.txt", L"docs\\report.txt");
    facts.record.is_folder = row.isFolder;
    facts.fullPath = L"C:\\Sync\\docs\\notes.txt";
    facts.parentFound = row.parentFound;
    facts.parentId = row.parentId;
    facts.found = row.found;
    ChangeInfo standing;
    standing.changeType = "updated";
    standing.file = DriveFile(L"/docs/notes.txt", "h1");
    standing.file.id = 12;
    if (row.standing) facts.standing = &standing;
    EXPECT_EQ(KindsOf(PlanRenamedAgainstDeletion(facts)), row.kinds) << row.what;
}

TEST(RenamedAgainstDeletionDetail, TheItemStandingAtTheNewNameIsMetAsANewRowAndTakesItsRemoteChange) {
    RenamedAgainstDeletionFacts facts;
    facts.record = Renamed(L"docs\notes.txt", L"docs\report.txt");
    facts.fullPath = L"C:\\Sync\\docs\\notes.txt";
    facts.parentFound = S_OK;
    facts.parentId = 3;
    ChangeInfo standing;
    standing.changeType = "updated";
    standing.file = DriveFile(L"/docs/notes.txt", "h1");
    standing.file.id = 12;
    facts.standing = &standing;
    const ActionPlan plan = PlanRenamedAgainstDeletion(facts);
    ASSERT_EQ(plan.steps.size(), 2u);
    const SyncAction& resolve = plan.steps[1];
    EXPECT_EQ(resolve.remote.id, 12u);
    EXPECT_TRUE(resolve.insert);
    EXPECT_EQ(resolve.remoteChange, &standing);
    EXPECT_TRUE(resolve.takesRemoteChange);
}

TEST(RenamedAgainstDeletionDetail, TheFolderStandingAtTheNewNameTakesTheRowAndItsRemoteChangeAndIsWalked) {
    RenamedAgainstDeletionFacts facts;
    facts.record = Renamed(L"docs\\notes", L"docs\\report");
    facts.record.is_folder = true;
    facts.fullPath = L"C:\\Sync\\docs\\notes";
    facts.parentFound = S_OK;
    facts.parentId = 3;
    facts.found = true;
    facts.local.ftLastWriteTime.dwLowDateTime = 77;
    ChangeInfo standing;
    standing.changeType = "updated";
    standing.file = DriveFile(L"/docs/notes", "");
    standing.file.type = "folder";
    standing.file.id = 12;
    facts.standing = &standing;
    const ActionPlan plan = PlanRenamedAgainstDeletion(facts);
    ASSERT_EQ(plan.steps.size(), 3u);
    const SyncAction& take = plan.steps[1];
    EXPECT_EQ(take.remote.id, 12u);
    EXPECT_EQ(take.path, facts.fullPath);
    EXPECT_EQ(take.local.ftLastWriteTime.dwLowDateTime, 77u);
    EXPECT_EQ(take.remoteChange, &standing);
    EXPECT_TRUE(take.takesRemoteChange);
    const SyncAction& walk = plan.steps[2];
    EXPECT_EQ(walk.path, facts.fullPath);
    EXPECT_EQ(walk.targetId, 12u);
}

INSTANTIATE_TEST_SUITE_P(Cases, RenamedAgainstDeletionPlan, ::testing::ValuesIn(kDeletionCases));

// --- A folder removed here ---

struct RemovalCase {
    const char* what;
    HRESULT metaResult;
    const char* changeType;
    const wchar_t* drivePath;
    HRESULT rowFound;
    const char* kinds;
};

const RemovalCase kRemovalCases[] = {
    {"gone from the drive too: only the rows go", API_E_ITEM_NOT_FOUND, "updated", L"/docs", S_OK, "MarkDeleted"},
    {"trashed on the drive too", S_OK, "deleted", L"/docs", S_OK, "MarkDeleted"},
    {"the drive's state unknown: nothing goes", E_FAIL, "updated", L"/docs", S_OK, "Skip"},
    {"what the drive moved out is settled first, what changed inside comes back", S_OK, "updated", L"/docs", S_OK,
     "SettleMovesOutOf,RemoveRemoteLeftover"},
    {"its drive name unusable here: nothing goes", S_OK, "updated", L"/nul", S_OK, "SettleMovesOutOf,Skip"},
    {"no row", S_OK, "updated", L"/docs", S_FALSE, ""},
};

class LocalFolderRemovalPlan : public ::testing::TestWithParam<RemovalCase> {};

TEST_P(LocalFolderRemovalPlan, PlansTheActionsOfTheCase) {
    const RemovalCase& row = GetParam();
    FolderRemovalFacts facts;
    facts.root = kRoot;
    facts.record.action = CHANGE_ACTION_REMOVED;
    facts.record.file_id = 7;
    facts.record.is_folder = true;
    facts.record.name = L"docs";
    facts.fullPath = L"C:\\Sync\\docs";
    facts.metaResult = row.metaResult;
    facts.meta.changeType = row.changeType;
    facts.meta.file.path = row.drivePath;
    facts.meta.file.type = "folder";
    facts.rowFound = row.rowFound;
    facts.row = Row(L"docs", "");
    EXPECT_EQ(KindsOf(PlanLocalFolderRemoval(facts)), row.kinds) << row.what;
}

INSTANTIATE_TEST_SUITE_P(Cases, LocalFolderRemovalPlan, ::testing::ValuesIn(kRemovalCases));

// --- An item renamed here whose new place is gone again ---

struct VanishedCase {
    const char* what;
    bool pending;
    bool placeExists;
    bool remoteChange;
    bool isFolder;
    const char* kinds;
};

const VanishedCase kVanishedCases[] = {
    {"a later record says where it went", true, false, false, false, ""},
    {"moved on with a folder renamed here", false, true, false, false, "SendLocalRename"},
    {"moved on with a folder, changed there too", false, true, true, false, "SettleRenameAgainstRemote"},
    {"gone with its folder, changed there: the change beats the delete", false, false, true, false, ""},
    {"a folder gone with its folder: its content is looked at", false, false, false, true,
     "SettleLocalFolderRemoval"},
    {"a file gone with its folder, unchanged there", false, false, false, false, "Note,DeleteRemote"},
};

class VanishedItemPlan : public ::testing::TestWithParam<VanishedCase> {};

TEST_P(VanishedItemPlan, PlansTheActionsOfTheCase) {
    const VanishedCase& row = GetParam();
    ChangeInfo change;
    VanishedItemFacts facts;
    facts.record = Renamed(L"docs\\notes.txt", L"docs\\report.txt");
    facts.placeChangePending = row.pending;
    facts.rowFound = S_OK;
    facts.row = Row(L"papers\\notes.txt", "h1");
    facts.row.is_folder = row.isFolder;
    facts.remoteChange = row.remoteChange ? &change : nullptr;
    facts.placePath = L"C:\\Sync\\papers\\notes.txt";
    facts.placeExists = row.placeExists;
    EXPECT_EQ(KindsOf(PlanVanishedItem(facts)), row.kinds) << row.what;
}

INSTANTIATE_TEST_SUITE_P(Cases, VanishedItemPlan, ::testing::ValuesIn(kVanishedCases));

TEST(VanishedItemDetail, MovedOnWithItsFolderItIsSettledAtTheRowsPlaceAndTakesItsRemoteChange) {
    ChangeInfo change;
    VanishedItemFacts facts;
    facts.record = Renamed(L"docs\\notes.txt", L"docs\\report.txt");
    facts.rowFound = S_OK;
    facts.row = Row(L"papers\\notes.txt", "h1");
    facts.remoteChange = &change;
    facts.placePath = L"C:\\Sync\\papers\\notes.txt";
    facts.placeExists = true;
    const ActionPlan plan = PlanVanishedItem(facts);
    ASSERT_EQ(plan.steps.size(), 1u);
    EXPECT_EQ(plan.steps[0].record.name, L"papers\\notes.txt");
    EXPECT_EQ(plan.steps[0].remoteChange, &change);
    EXPECT_EQ(plan.steps[0].wait, WaitOutcome::Settled);
    EXPECT_TRUE(plan.steps[0].takesRemoteChange);
}

// --- A move sent as a copy by a run cut short ---

struct ResumeCase {
    const char* what;
    uint64_t rowId;
    HRESULT metaResult;
    const wchar_t* oldPath;
    bool localIsFolder;
    const char* kinds;
};

const ResumeCase kResumeCases[] = {
    {"no copy stands for it", 7, S_OK, L"/docs/report.txt", false, ""},
    {"the old item is gone: the move was done", 12, API_E_ITEM_NOT_FOUND, L"/docs/report.txt", false, ""},
    {"the drive's state unknown", 12, E_FAIL, L"/docs/report.txt", false, "Skip"},
    {"the old item of another kind", 12, S_OK, L"/docs/report.txt", true, ""},
    {"the old item at the new place already", 12, S_OK, L"/Archive/Report.txt", false, ""},
    {"the copy goes on, the old item to the trash after", 12, S_OK, L"/docs/report.txt", false,
     "MoveRemoteByCopy"},
};

class ResumeMoveByCopyPlan : public ::testing::TestWithParam<ResumeCase> {};

TEST_P(ResumeMoveByCopyPlan, PlansTheActionsOfTheCase) {
    const ResumeCase& row = GetParam();
    ResumeMoveFacts facts;
    facts.record = Renamed(L"archive\\report.txt", L"docs\\report.txt");
    facts.fullPath = L"C:\\Sync\\archive\\report.txt";
    facts.rowFound = S_OK;
    facts.row = Row(L"archive\\report.txt", "h1");
    facts.row.file_id = row.rowId;
    facts.metaResult = row.metaResult;
    facts.meta.changeType = "updated";
    facts.meta.file = DriveFile(row.oldPath, "h1");
    facts.localIsFolder = row.localIsFolder;
    EXPECT_EQ(KindsOf(PlanResumeMoveByCopy(facts)), row.kinds) << row.what;
}

INSTANTIATE_TEST_SUITE_P(Cases, ResumeMoveByCopyPlan, ::testing::ValuesIn(kResumeCases));

}  // namespace
