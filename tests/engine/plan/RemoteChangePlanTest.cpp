// The remote phase's decisions on what was gathered for one remote change:
// its classification, then its actions, one row per case.
#include <gtest/gtest.h>

#include <functional>

#include "BrelioServices/RestFrame.h"
#include "BrelioSync/ChangeCodes.h"
#include "BrelioSync/RemoteChangePlan.h"
#include "PlanText.h"

using namespace brelio::test;

namespace {

constexpr wchar_t kRoot[] = L"C:\\Sync";
constexpr wchar_t kPath[] = L"C:\\Sync\\docs\\report.txt";

ChangeInfo Change(const char* type, const wchar_t* path, bool isFile = true) {
    ChangeInfo change;
    change.changeType = type;
    change.file.id = 7;
    change.file.path = path;
    change.file.type = isFile ? "file" : "folder";
    change.file.hash = "h1";
    change.file.revision = 5;
    return change;
}

FileRecord Row(const wchar_t* name) {
    FileRecord row;
    row.file_id = 7;
    row.name = name;
    row.hash = "h1";
    row.revision = 5;
    row.status = FILE_STATUS_SYNCED;
    return row;
}

// --- Classification ---

struct ClassifyCase {
    const char* what;
    std::function<void(RemoteChangeFacts&)> setup;
    uint32_t code;
};

// An updated file at its place here, with a row in sync with both sides.
RemoteChangeFacts PresentFile() {
    RemoteChangeFacts facts;
    facts.change = Change("updated", L"/docs/report.txt");
    facts.fullPath = kPath;
    facts.exists = true;
    facts.rowFound = S_OK;
    facts.row = Row(L"docs\\report.txt");
    return facts;
}

const ClassifyCase kClassifyCases[] = {
    {"trashed there, its row here: a deletion at the row's place",
     [](RemoteChangeFacts& f) {
         f.change.changeType = "deleted";
         f.exists = false;
         f.rowPath = L"C:\\Sync\\old\\report.txt";
     },
     CHANGE_REMOVED_REMOTE},
    {"trashed there, no row: nothing of it here",
     [](RemoteChangeFacts& f) {
         f.change.changeType = "deleted";
         f.rowFound = S_FALSE;
     },
     CHANGE_NO_STORAGE_ROW},
    {"trashed there, its row unreadable: nothing is deleted",
     [](RemoteChangeFacts& f) {
         f.change.changeType = "deleted";
         f.rowFound = E_FAIL;
     },
     CHANGE_NO_STORAGE_ROW},
    {"trashed there, the row's path too long here",
     [](RemoteChangeFacts& f) {
         f.change.changeType = "deleted";
         f.rowPath.clear();
     },
     CHANGE_NO_STORAGE_ROW},
    {"new there", [](RemoteChangeFacts& f) {
         f.exists = false;
         f.statusRead = true;
         f.status = FILE_STATUS_NONE;
     },
     CHANGE_ADDED_REMOTE},
    {"not at its place here, in sync before: moved there", [](RemoteChangeFacts& f) {
         f.exists = false;
         f.statusRead = true;
         f.status = FILE_STATUS_SYNCED;
     },
     CHANGE_MOVED_REMOTE},
    {"not at its place here, changed here: moved on both sides", [](RemoteChangeFacts& f) {
         f.exists = false;
         f.statusRead = true;
         f.status = FILE_STATUS_CHANGED;
     },
     CHANGE_MOVED_BOTH},
    {"its content was to come again", [](RemoteChangeFacts& f) {
         f.exists = false;
         f.statusRead = true;
         f.status = FILE_STATUS_RETRANSFER;
     },
     CHANGE_MODIFIED_REMOTE},
    {"it failed here before", [](RemoteChangeFacts& f) {
         f.exists = false;
         f.statusRead = true;
         f.status = FILE_STATUS_LOCAL_FAILED;
     },
     CHANGE_FAILED_LOCAL},
    {"not here, its status unreadable", [](RemoteChangeFacts& f) { f.exists = false; }, CHANGE_NONE},
    {"its name held here by another item", [](RemoteChangeFacts& f) { f.nameTaken = true; }, CHANGE_NAME_TAKEN},
    {"here, its row unreadable", [](RemoteChangeFacts& f) { f.rowFound = E_FAIL; }, CHANGE_NONE},
    {"renamed there in letter case alone", [](RemoteChangeFacts& f) { f.row.name = L"docs\\Report.txt"; },
     CHANGE_MOVED_REMOTE},
    {"a folder unchanged", [](RemoteChangeFacts& f) { f.change.file.type = "folder"; }, CHANGE_NONE},
    {"a folder at a new revision", [](RemoteChangeFacts& f) {
         f.change.file.type = "folder";
         f.change.file.revision = 6;
     },
     CHANGE_MODIFIED_REVISION},
    {"edited here: both sides changed", [](RemoteChangeFacts& f) { f.changedHere = true; }, CHANGE_MODIFIED_BOTH},
    {"edited there", [](RemoteChangeFacts& f) { f.change.file.hash = "h2"; }, CHANGE_MODIFIED_REMOTE},
    {"unchanged", nullptr, CHANGE_NONE},
    {"a new revision of the same content", [](RemoteChangeFacts& f) { f.change.file.revision = 6; },
     CHANGE_MODIFIED_REVISION},
    {"a change of another type", [](RemoteChangeFacts& f) { f.change.changeType = "shared"; }, CHANGE_NONE},
};

class RemoteClassify : public ::testing::TestWithParam<ClassifyCase> {};

TEST_P(RemoteClassify, ClassifiesTheCase) {
    const ClassifyCase& row = GetParam();
    RemoteChangeFacts facts = PresentFile();
    if (row.setup) row.setup(facts);
    EXPECT_EQ(ClassifyRemote(facts).code, row.code) << row.what;
}

INSTANTIATE_TEST_SUITE_P(Cases, RemoteClassify, ::testing::ValuesIn(kClassifyCases));

TEST(RemoteClassifyDetail, ADeletionIsCarriedOutWhereTheRowHasTheItem) {
    RemoteChangeFacts facts = PresentFile();
    facts.change.changeType = "deleted";
    facts.fullPath = L"C:\\Sync\\docs\\report.txt";
    facts.rowPath = L"C:\\Sync\\old\\report.txt";
    EXPECT_EQ(ClassifyRemote(facts).fullPath, L"C:\\Sync\\old\\report.txt");
    facts.rowFound = S_FALSE;
    EXPECT_EQ(ClassifyRemote(facts).fullPath, L"C:\\Sync\\docs\\report.txt");
}

// --- Names that differ only in letter case ---

struct NameCase {
    const char* what;
    bool present;
    bool isFolder;
    HRESULT rowFound;
    uint64_t rowId;
    bool remoteIsFile;
    bool taken;
};

const NameCase kNameCases[] = {
    {"nothing here", false, false, S_FALSE, 0, true, false},
    {"the item's own row", true, false, S_OK, 7, true, false},
    {"another drive item's row", true, false, S_OK, 12, true, true},
    {"a file without a row meets a file: a conflict of contents", true, false, S_FALSE, 0, true, false},
    {"a folder without a row meets a file", true, true, S_FALSE, 0, true, true},
    {"a file without a row meets a folder", true, false, S_FALSE, 0, false, true},
    {"a folder without a row meets a folder", true, true, S_FALSE, 0, false, false},
};

class TakenName : public ::testing::TestWithParam<NameCase> {};

TEST_P(TakenName, TellsWhetherTheNameIsAnotherItems) {
    const NameCase& row = GetParam();
    LocalNameFacts local;
    local.present = row.present;
    local.isFolder = row.isFolder;
    local.rowFound = row.rowFound;
    local.rowId = row.rowId;
    const ChangeInfo change = Change("updated", L"/docs/report.txt", row.remoteIsFile);
    EXPECT_EQ(IsNameTaken(local, change.file), row.taken) << row.what;
}

INSTANTIATE_TEST_SUITE_P(Cases, TakenName, ::testing::ValuesIn(kNameCases));

// --- Carrying out ---

struct ActCase {
    const char* what;
    uint32_t code;
    std::function<void(RemoteActFacts&)> setup;
    const char* kinds;
};

const ActCase kActCases[] = {
    {"a new file comes", CHANGE_ADDED_REMOTE, nullptr, "Download"},
    {"a new folder is made here, its content coming with its own changes", CHANGE_ADDED_REMOTE,
     [](RemoteActFacts& f) { f.change.file.type = "folder"; }, "CreateLocalFolder"},
    {"edited there", CHANGE_MODIFIED_REMOTE, nullptr, "Download"},
    {"edited on both sides", CHANGE_MODIFIED_BOTH, nullptr, "ResolveBothModified"},
    {"trashed there: the walk's checks decide", CHANGE_REMOVED_REMOTE, nullptr, "DeleteLocalChecked"},
    {"moved there, no row: nothing to follow", CHANGE_MOVED_REMOTE, [](RemoteActFacts& f) { f.rowFound = S_FALSE; },
     ""},
    {"moved there, the row unreadable", CHANGE_MOVED_REMOTE, [](RemoteActFacts& f) { f.rowFound = E_FAIL; }, "Fail"},
    {"moved there, the drive unreachable now", CHANGE_MOVED_REMOTE,
     [](RemoteActFacts& f) { f.metaResult = E_FAIL; }, "Fail"},
    {"moved there and gone since: the next pass meets the deletion", CHANGE_MOVED_REMOTE,
     [](RemoteActFacts& f) { f.metaResult = API_E_ITEM_NOT_FOUND; }, ""},
    {"moved there and trashed since", CHANGE_MOVED_BOTH, [](RemoteActFacts& f) { f.now.changeType = "deleted"; }, ""},
    {"moved there to a name unusable here", CHANGE_MOVED_REMOTE,
     [](RemoteActFacts& f) { f.now.file.path = L"/docs/con.txt"; }, "Skip"},
    {"moved there: followed from the row, or brought back", CHANGE_MOVED_REMOTE, nullptr, "RemoveRemoteLeftover"},
    {"moved on both sides", CHANGE_MOVED_BOTH, nullptr, "RemoveRemoteLeftover"},
    {"failed here before: reported again", CHANGE_FAILED_LOCAL, nullptr, "ReportFailed"},
    {"its name is another item's here: refused", CHANGE_NAME_TAKEN, nullptr, "Skip"},
    {"a new revision only", CHANGE_MODIFIED_REVISION, nullptr, "SetRevision"},
    {"unchanged", CHANGE_NONE, nullptr, ""},
    {"trashed there, never here", CHANGE_NO_STORAGE_ROW, nullptr, ""},
};

RemoteActFacts ActFacts(uint32_t code) {
    RemoteActFacts facts;
    facts.root = kRoot;
    facts.code = code;
    facts.change = Change("updated", L"/docs/report.txt");
    facts.fullPath = kPath;
    facts.hasRow = true;
    facts.rowFound = S_OK;
    facts.row = Row(L"docs\\report.txt");
    facts.metaResult = S_OK;
    facts.now = Change("updated", L"/archive/report.txt");
    return facts;
}

class RemoteChangePlan : public ::testing::TestWithParam<ActCase> {};

TEST_P(RemoteChangePlan, PlansTheActionsOfTheCase) {
    const ActCase& row = GetParam();
    RemoteActFacts facts = ActFacts(row.code);
    if (row.setup) row.setup(facts);
    EXPECT_EQ(KindsOf(PlanRemoteChange(facts)), row.kinds) << row.what;
}

INSTANTIATE_TEST_SUITE_P(Cases, RemoteChangePlan, ::testing::ValuesIn(kActCases));

TEST(RemoteChangePlanDetail, AMoveThereIsJudgedAtTheDrivesPlaceNowWithTheRow) {
    const ActionPlan plan = PlanRemoteChange(ActFacts(CHANGE_MOVED_REMOTE));
    ASSERT_EQ(plan.steps.size(), 1u);
    EXPECT_EQ(plan.steps[0].path, L"C:\\Sync\\archive\\report.txt");
    EXPECT_EQ(plan.steps[0].remote.path, L"/archive/report.txt");
    EXPECT_EQ(plan.steps[0].row.name, L"docs\\report.txt");
}

TEST(RemoteChangePlanDetail, AConflictTakesANewRowOnlyWhenTheItemHasNone) {
    RemoteActFacts facts = ActFacts(CHANGE_MODIFIED_BOTH);
    EXPECT_FALSE(PlanRemoteChange(facts).steps[0].insert);
    facts.hasRow = false;
    EXPECT_TRUE(PlanRemoteChange(facts).steps[0].insert);
}

TEST(RemoteChangePlanDetail, TheDriveIsAskedAgainOnlyForAMoveWithARow) {
    EXPECT_TRUE(NeedsDriveStateNow(ActFacts(CHANGE_MOVED_REMOTE)));
    EXPECT_TRUE(NeedsDriveStateNow(ActFacts(CHANGE_MOVED_BOTH)));
    RemoteActFacts noRow = ActFacts(CHANGE_MOVED_REMOTE);
    noRow.rowFound = S_FALSE;
    EXPECT_FALSE(NeedsDriveStateNow(noRow));
    EXPECT_FALSE(NeedsDriveStateNow(ActFacts(CHANGE_MODIFIED_REMOTE)));
}

}  // namespace
