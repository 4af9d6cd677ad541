// The decision for each local change code, on what was gathered for the
// record: one row per case.
#include <gtest/gtest.h>

#include <functional>

#include "BrelioServices/RestFrame.h"
#include "BrelioSync/ChangeCodes.h"
#include "BrelioSync/LocalChangePlan.h"
#include "PlanText.h"

using namespace brelio::test;

namespace {

constexpr wchar_t kRoot[] = L"C:\\Sync";

ChangeInfo Updated(uint64_t id, const wchar_t* path, const char* hash) {
    ChangeInfo change;
    change.changeType = "updated";
    change.file.id = id;
    change.file.path = path;
    change.file.hash = hash;
    change.file.type = "file";
    change.file.revision = 9;
    return change;
}

struct LocalCase {
    const char* what;
    uint32_t code;
    int32_t action;
    std::function<void(LocalChangeFacts&)> setup;
    const char* kinds;
};

LocalChangeFacts BaseFacts(const LocalCase& row, ChangeInfo& matched) {
    LocalChangeFacts facts;
    facts.root = kRoot;
    facts.code = row.code;
    facts.record.action = row.action;
    facts.record.name = L"docs\\report.txt";
    facts.record.file_id = 7;
    if (row.action == CHANGE_ACTION_RENAMED) facts.record.old_name = L"docs\\draft.txt";
    facts.fullPath = L"C:\\Sync\\docs\\report.txt";
    facts.oldFullPath = L"C:\\Sync\\docs\\draft.txt";
    facts.exists = true;
    facts.matched = &matched;
    facts.matchedRowFound = S_OK;
    facts.matchedRow.file_id = 7;
    facts.matchedRow.name = L"docs\\report.txt";
    facts.statusRead = true;
    facts.status = FILE_STATUS_SYNCED;
    return facts;
}

const LocalCase kLocalCases[] = {
    {"a path too long for the folder fails", CHANGE_ADDED_LOCAL, CHANGE_ACTION_ADDED,
     [](LocalChangeFacts& f) { f.fullPath.clear(); }, "Fail"},
    {"a new file goes up", CHANGE_ADDED_LOCAL, CHANGE_ACTION_ADDED, [](LocalChangeFacts& f) { f.record.file_id = 0; },
     "UploadChanged"},
    {"a new folder goes up with all it holds", CHANGE_ADDED_LOCAL, CHANGE_ACTION_ADDED,
     [](LocalChangeFacts& f) { f.record.is_folder = true; }, "CreateRemoteFolderAndWalk"},
    {"an addition gone again sends nothing", CHANGE_ADDED_LOCAL, CHANGE_ACTION_ADDED,
     [](LocalChangeFacts& f) { f.exists = false; }, ""},
    {"an edit goes up", CHANGE_MODIFIED_LOCAL, CHANGE_ACTION_MODIFIED, nullptr, "UploadChanged"},
    {"an edit of a file gone again sends nothing", CHANGE_MODIFIED_LOCAL, CHANGE_ACTION_MODIFIED,
     [](LocalChangeFacts& f) { f.exists = false; }, ""},
    {"edited on both sides, gone here since: its later record meets the drive", CHANGE_MODIFIED_BOTH,
     CHANGE_ACTION_MODIFIED, [](LocalChangeFacts& f) { f.exists = false; }, "+leaves"},
    {"edited on both sides without a row: a conflict, the drive's item new here", CHANGE_MODIFIED_BOTH,
     CHANGE_ACTION_MODIFIED, [](LocalChangeFacts& f) { f.matchedRowFound = S_FALSE; }, "ResolveBothModified"},
    {"edited on both sides, the row unreadable: it waits", CHANGE_MODIFIED_BOTH, CHANGE_ACTION_MODIFIED,
     [](LocalChangeFacts& f) { f.matchedRowFound = E_FAIL; }, "Fail"},
    {"edited on both sides: the drive's place is followed", CHANGE_MODIFIED_BOTH, CHANGE_ACTION_MODIFIED, nullptr,
     "FollowRemoteMove"},
    {"edited here, the drive's name unusable here", CHANGE_MODIFIED_BOTH, CHANGE_ACTION_MODIFIED,
     [](LocalChangeFacts& f) { f.matched->file.path = L"/docs/con.txt"; }, "Skip"},
    {"removed, never on the drive", CHANGE_REMOVED_LOCAL, CHANGE_ACTION_REMOVED,
     [](LocalChangeFacts& f) { f.record.file_id = 0; }, ""},
    {"removed before a rename recorded after it: the rename decides", CHANGE_REMOVED_LOCAL, CHANGE_ACTION_REMOVED,
     [](LocalChangeFacts& f) { f.renamedLater = true; }, ""},
    {"removed while its content was to come again: it comes, nothing is trashed", CHANGE_REMOVED_LOCAL,
     CHANGE_ACTION_REMOVED, [](LocalChangeFacts& f) { f.retransfer = true; }, "DownloadById"},
    {"removed, living on under the name it was renamed to", CHANGE_REMOVED_LOCAL, CHANGE_ACTION_REMOVED,
     [](LocalChangeFacts& f) {
         f.renamedAwayPath = L"C:\\Sync\\docs\\report.tmp";
         f.renamedAwayExists = true;
     },
     ""},
    {"renamed and then removed: it lives nowhere", CHANGE_REMOVED_LOCAL, CHANGE_ACTION_REMOVED,
     [](LocalChangeFacts& f) { f.renamedAwayPath = L"C:\\Sync\\docs\\report.tmp"; }, "DeleteRemote"},
    {"renamed away from here, then another item removed here", CHANGE_REMOVED_LOCAL, CHANGE_ACTION_REMOVED,
     [](LocalChangeFacts& f) {
         f.renamedAwayPath = L"C:\\Sync\\DOCS\\Report.txt";
         f.renamedAwayExists = true;
     },
     "DeleteRemote"},
    {"a removed folder: its content on the drive is looked at first", CHANGE_REMOVED_LOCAL, CHANGE_ACTION_REMOVED,
     [](LocalChangeFacts& f) { f.record.is_folder = true; }, "SettleLocalFolderRemoval"},
    {"a removed file goes to the trash", CHANGE_REMOVED_LOCAL, CHANGE_ACTION_REMOVED, nullptr, "DeleteRemote"},
    {"removed on both sides: only the row goes", CHANGE_REMOVED_BOTH, CHANGE_ACTION_REMOVED, nullptr, "MarkDeleted"},
    {"removed on both sides, never synced", CHANGE_REMOVED_BOTH, CHANGE_ACTION_REMOVED,
     [](LocalChangeFacts& f) { f.record.file_id = 0; }, ""},
    {"renamed, its new place gone again", CHANGE_RENAMED_LOCAL, CHANGE_ACTION_RENAMED,
     [](LocalChangeFacts& f) { f.exists = false; }, "RememberSyncedName,RememberRenamedAway,SettleVanishedItem"},
    {"renamed, in sync before", CHANGE_RENAMED_LOCAL, CHANGE_ACTION_RENAMED, nullptr,
     "RememberSyncedName,SendLocalRename"},
    {"renamed, only its content went up since", CHANGE_RENAMED_LOCAL, CHANGE_ACTION_RENAMED,
     [](LocalChangeFacts& f) { f.status = FILE_STATUS_CHANGED; }, "RememberSyncedName,SendLocalRename"},
    {"renamed in letter case alone, its row failed here: still sent", CHANGE_RENAMED_LOCAL, CHANGE_ACTION_RENAMED,
     [](LocalChangeFacts& f) {
         f.record.old_name = L"docs\\REPORT.txt";
         f.status = FILE_STATUS_LOCAL_FAILED;
     },
     "RememberSyncedName,SendLocalRename"},
    {"renamed, its row failed here: nothing sent", CHANGE_RENAMED_LOCAL, CHANGE_ACTION_RENAMED,
     [](LocalChangeFacts& f) { f.status = FILE_STATUS_LOCAL_FAILED; }, "RememberSyncedName"},
    {"renamed, no row has its id: a copy cut short goes on", CHANGE_RENAMED_LOCAL, CHANGE_ACTION_RENAMED,
     [](LocalChangeFacts& f) { f.status = FILE_STATUS_NONE; }, "RememberSyncedName,ResumeMoveByCopy"},
    {"renamed, its row unreadable", CHANGE_RENAMED_LOCAL, CHANGE_ACTION_RENAMED,
     [](LocalChangeFacts& f) { f.statusRead = false; }, "RememberSyncedName"},
    {"a new folder renamed before it went up", CHANGE_RENAMED_LOCAL, CHANGE_ACTION_RENAMED,
     [](LocalChangeFacts& f) {
         f.record.file_id = 0;
         f.record.is_folder = true;
     },
     "CreateRemoteFolder"},
    {"a file saved over by a rename goes up as the item renamed away", CHANGE_RENAMED_LOCAL, CHANGE_ACTION_RENAMED,
     [](LocalChangeFacts& f) {
         f.record.file_id = 0;
         f.renamedAwayHereId = 12;
     },
     "UploadChanged"},
    {"moved on both sides, its place gone again: the last record meets the drive", CHANGE_MOVED_BOTH,
     CHANGE_ACTION_RENAMED, [](LocalChangeFacts& f) { f.exists = false; },
     "RememberSyncedName,RememberRenamedAway,SettleVanishedItem+leaves"},
    {"moved on both sides", CHANGE_MOVED_BOTH, CHANGE_ACTION_RENAMED, nullptr,
     "RememberSyncedName,SettleRenameAgainstRemote"},
};

class LocalChangePlan : public ::testing::TestWithParam<LocalCase> {};

TEST_P(LocalChangePlan, PlansTheActionsOfTheCase) {
    const LocalCase& row = GetParam();
    ChangeInfo matched = Updated(7, L"/docs/report.txt", "h2");
    LocalChangeFacts facts = BaseFacts(row, matched);
    if (row.setup) row.setup(facts);
    EXPECT_EQ(KindsOf(PlanLocalChange(facts)), row.kinds) << row.what;
}

INSTANTIATE_TEST_SUITE_P(Cases, LocalChangePlan, ::testing::ValuesIn(kLocalCases));

TEST(LocalChangePlanDetail, AnEditMetOnBothSidesFollowsTheDrivesPlaceAndLeavesAWaitToTheRemotePhase) {
    ChangeInfo matched = Updated(7, L"/archive/report.txt", "h2");
    LocalCase row{"", CHANGE_MODIFIED_BOTH, CHANGE_ACTION_MODIFIED, nullptr, ""};
    const ActionPlan plan = PlanLocalChange(BaseFacts(row, matched));
    ASSERT_EQ(plan.steps.size(), 1u);
    EXPECT_EQ(plan.steps[0].path, L"C:\\Sync\\archive\\report.txt");
    EXPECT_EQ(plan.steps[0].remote.id, 7u);
    EXPECT_EQ(plan.steps[0].wait, WaitOutcome::LeavesRemoteChange);
}

TEST(LocalChangePlanDetail, ARenameRemembersTheNameTheDriveLastSaw) {
    ChangeInfo matched;
    LocalCase row{"", CHANGE_RENAMED_LOCAL, CHANGE_ACTION_RENAMED, nullptr, ""};
    const ActionPlan plan = PlanLocalChange(BaseFacts(row, matched));
    ASSERT_FALSE(plan.steps.empty());
    EXPECT_EQ(plan.steps[0].fileId, 7u);
    EXPECT_EQ(plan.steps[0].name, L"docs\\draft.txt");
}

TEST(LocalChangePlanDetail, EveryActionNamesTheSideItChanges) {
    EXPECT_EQ(SideOf(ActionKind::DeleteRemote), ActionSide::Drive);
    EXPECT_EQ(SideOf(ActionKind::Download), ActionSide::Local);
    EXPECT_EQ(SideOf(ActionKind::MarkDeleted), ActionSide::Row);
    EXPECT_EQ(SideOf(ActionKind::SendLocalRename), ActionSide::Decision);
    EXPECT_EQ(MakeAction(ActionKind::UploadNew).side, ActionSide::Drive);
}

}  // namespace
