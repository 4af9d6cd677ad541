// The full walk's rule for one item found here, and for a selected folder
// before its walk: what was gathered in, the actions out.
#include <gtest/gtest.h>

#include <functional>

#include "BrelioServices/RestFrame.h"
#include "BrelioSync/ChangeCodes.h"
#include "BrelioSync/WalkPlan.h"
#include "PlanText.h"

using namespace brelio::test;

namespace {

constexpr uint64_t kFolderId = 3;

// An item here in the walked folder C:\Sync\docs, not listed by the drive
// and in sync by its row, unless the case says otherwise.
WalkItemFacts BaseItem(bool isFolder) {
    WalkItemFacts facts;
    facts.path = isFolder ? L"C:\\Sync\\docs\\sub" : L"C:\\Sync\\docs\\report.txt";
    facts.isFolder = isFolder;
    facts.folderId = kFolderId;
    facts.status = FILE_STATUS_SYNCED;
    facts.entry.id = 7;
    facts.entry.name = isFolder ? L"sub" : L"report.txt";
    facts.entry.type = isFolder ? "folder" : "file";
    facts.storedFileId = 7;
    return facts;
}

void Listed(WalkItemFacts& facts, uint32_t change) {
    facts.listed = true;
    facts.change = change;
}

struct WalkItemCase {
    const char* what;
    bool isFolder;
    std::function<void(WalkItemFacts&)> setup;
    const char* kinds;
};

const WalkItemCase kWalkItemCases[] = {
    // Listed by the drive's folder.
    {"a folder on both sides: its row, then what it holds", true,
     [](WalkItemFacts& f) { Listed(f, CHANGE_NONE); }, "RecordListedFolder,WalkFolder"},
    {"a file alike on both sides", false, [](WalkItemFacts& f) { Listed(f, CHANGE_NONE); }, ""},
    {"a file edited here goes up over its item", false, [](WalkItemFacts& f) { Listed(f, CHANGE_MODIFIED_LOCAL); },
     "UploadRevision"},
    {"a file edited there comes down", false, [](WalkItemFacts& f) { Listed(f, CHANGE_MODIFIED_REMOTE); },
     "Download"},
    {"a file edited on both sides keeps both", false, [](WalkItemFacts& f) { Listed(f, CHANGE_MODIFIED_BOTH); },
     "ResolveBothModified"},
    {"a file on both sides without a row keeps both", false,
     [](WalkItemFacts& f) { Listed(f, CHANGE_NO_STORAGE_ROW); }, "ResolveBothModified"},
    // Not listed: the row's status decides.
    {"a file whose row cannot be read", false, [](WalkItemFacts& f) { f.statusRead = E_FAIL; }, "Fail"},
    {"a folder whose row cannot be read", true, [](WalkItemFacts& f) { f.statusRead = E_FAIL; }, "Fail"},
    {"a new file goes up", false, [](WalkItemFacts& f) { f.status = FILE_STATUS_NONE; }, "UploadNew"},
    {"a new folder goes up with what it holds", true, [](WalkItemFacts& f) { f.status = FILE_STATUS_NONE; },
     "CreateRemoteFolderInAndWalk"},
    {"a file whose content was to come again goes up as a new item", false,
     [](WalkItemFacts& f) { f.status = FILE_STATUS_RETRANSFER; }, "UploadByName"},
    {"a folder whose content was to come again goes up", true,
     [](WalkItemFacts& f) { f.status = FILE_STATUS_RETRANSFER; }, "CreateRemoteFolderInAndWalk"},
    {"a file changed here: moved there, or up as new", false,
     [](WalkItemFacts& f) { f.status = FILE_STATUS_CHANGED; }, "UploadChangedUnlisted"},
    {"a folder changed here goes up", true, [](WalkItemFacts& f) { f.status = FILE_STATUS_CHANGED; },
     "CreateRemoteFolderInAndWalk"},
    {"a file renamed here waits for its rename", false, [](WalkItemFacts& f) {
         f.status = FILE_STATUS_CHANGED;
         f.renamePending = true;
     },
     "Skip"},
    {"a folder renamed here waits for its rename, not made anew", true, [](WalkItemFacts& f) {
         f.status = FILE_STATUS_CHANGED;
         f.renamePending = true;
     },
     "Skip"},
    {"a file in sync that the drive no longer lists: its checks", false, nullptr, "DeleteLocalItemChecked"},
    {"a folder in sync that the drive no longer lists: its checks", true, nullptr, "DeleteLocalItemChecked"},
    {"a row being removed: nothing", false, [](WalkItemFacts& f) { f.status = FILE_STATUS_DELETE; }, ""},
};

class WalkItemRule : public ::testing::TestWithParam<WalkItemCase> {};

TEST_P(WalkItemRule, PlansTheActionsOfTheCase) {
    const WalkItemCase& row = GetParam();
    WalkItemFacts facts = BaseItem(row.isFolder);
    if (row.setup) row.setup(facts);
    EXPECT_EQ(KindsOf(PlanWalkItem(facts)), row.kinds) << row.what;
}

INSTANTIATE_TEST_SUITE_P(Cases, WalkItemRule, ::testing::ValuesIn(kWalkItemCases));

TEST(WalkItemDetail, ARenameIsLookedForOnlyForAnUnlistedItemChangedHere) {
    WalkItemFacts facts = BaseItem(false);
    EXPECT_FALSE(NeedsRenameCheckOfWalkItem(facts)) << "in sync";
    facts.status = FILE_STATUS_CHANGED;
    EXPECT_TRUE(NeedsRenameCheckOfWalkItem(facts));
    facts.statusRead = E_FAIL;
    EXPECT_FALSE(NeedsRenameCheckOfWalkItem(facts)) << "nothing to go by";
    facts = BaseItem(false);
    facts.status = FILE_STATUS_CHANGED;
    Listed(facts, CHANGE_MODIFIED_LOCAL);
    EXPECT_FALSE(NeedsRenameCheckOfWalkItem(facts)) << "listed: the comparison decides";
}

TEST(WalkItemDetail, EachActionGoesWhereTheDriveHasTheItem) {
    WalkItemFacts facts = BaseItem(false);
    Listed(facts, CHANGE_MODIFIED_LOCAL);
    facts.storedRevision = 4;
    ActionPlan plan = PlanWalkItem(facts);
    ASSERT_EQ(plan.steps.size(), 1u);
    EXPECT_EQ(plan.steps[0].fileId, 7u);
    EXPECT_EQ(plan.steps[0].revision, 4u) << "the revision the row has, against which the drive checks";

    Listed(facts, CHANGE_MODIFIED_BOTH);
    EXPECT_FALSE(PlanWalkItem(facts).steps[0].insert) << "the row of the same item stays";
    facts.storedFileId = 9;
    EXPECT_TRUE(PlanWalkItem(facts).steps[0].insert) << "the name held another item: a row of its own";
    Listed(facts, CHANGE_NO_STORAGE_ROW);
    facts.storedFileId = 7;
    EXPECT_TRUE(PlanWalkItem(facts).steps[0].insert);

    facts = BaseItem(true);
    Listed(facts, CHANGE_NONE);
    plan = PlanWalkItem(facts);
    ASSERT_EQ(plan.steps.size(), 2u);
    EXPECT_EQ(plan.steps[1].targetId, 7u) << "walked against the drive's folder of that name";

    for (const int status : {FILE_STATUS_NONE, FILE_STATUS_SYNCED}) {
        facts = BaseItem(status == FILE_STATUS_NONE);
        facts.status = status;
        plan = PlanWalkItem(facts);
        ASSERT_EQ(plan.steps.size(), 1u);
        EXPECT_EQ(plan.steps[0].targetId, kFolderId) << "the walked folder";
        EXPECT_EQ(plan.steps[0].path, facts.path);
    }
}

// --- A selected folder ---

SelectedFolderFacts BaseSelected() {
    SelectedFolderFacts facts;
    facts.relativePath = L"work\\docs";
    facts.folderId = 12;
    facts.meta.changeType = "updated";
    facts.meta.file.id = 12;
    facts.meta.file.name = L"docs";
    facts.meta.file.type = "folder";
    facts.path = L"C:\\Sync\\work\\docs";
    return facts;
}

void Trashed(SelectedFolderFacts& facts) { facts.meta.changeType = "deleted"; }

struct SelectedCase {
    const char* what;
    std::function<void(SelectedFolderFacts&)> setup;
    const char* kinds;
};

const SelectedCase kSelectedCases[] = {
    {"ready: made here with its row", nullptr, "MakeSelectedFolder,RecordSelectedFolder"},
    {"letter case aside, the name matches", [](SelectedFolderFacts& f) { f.meta.file.name = L"DOCS"; },
     "MakeSelectedFolder,RecordSelectedFolder"},
    {"the drive cannot tell: the walk over the selection ends", [](SelectedFolderFacts& f) { f.metaResult = E_FAIL; },
     "ReportFailed,Fail"},
    {"its path cannot be one here", [](SelectedFolderFacts& f) { f.joined = E_INVALIDARG; }, "Skip,LeaveOut"},
    {"renamed on the drive: left out", [](SelectedFolderFacts& f) { f.meta.file.name = L"papers"; }, "LeaveOut"},
    {"trashed there: gone here too", Trashed, "DeleteLocalFolder,LeaveOut"},
    {"trashed there while renamed here", [](SelectedFolderFacts& f) {
         Trashed(f);
         f.rowKnown = true;
         f.renamePending = true;
     },
     "Skip,LeaveOut"},
    {"trashed there while something inside changed here", [](SelectedFolderFacts& f) {
         Trashed(f);
         f.changedBelow = true;
     },
     "Skip,LeaveOut"},
};

class SelectedFolderRule : public ::testing::TestWithParam<SelectedCase> {};

TEST_P(SelectedFolderRule, PlansTheActionsOfTheCase) {
    const SelectedCase& row = GetParam();
    SelectedFolderFacts facts = BaseSelected();
    if (row.setup) row.setup(facts);
    EXPECT_EQ(KindsOf(PlanSelectedFolder(facts)), row.kinds) << row.what;
}

INSTANTIATE_TEST_SUITE_P(Cases, SelectedFolderRule, ::testing::ValuesIn(kSelectedCases));

TEST(SelectedFolderDetail, EachLookUpOnlyWhenTheRuleGetsToIt) {
    SelectedFolderFacts facts = BaseSelected();
    EXPECT_FALSE(NeedsRowOfSelected(facts)) << "not trashed";
    Trashed(facts);
    EXPECT_TRUE(NeedsRowOfSelected(facts));
    EXPECT_FALSE(NeedsRenameCheckOfSelected(facts)) << "no row, no rename of it";
    EXPECT_TRUE(NeedsChangesBelowOfSelected(facts));
    facts.rowKnown = true;
    EXPECT_TRUE(NeedsRenameCheckOfSelected(facts));
    facts.renamePending = true;
    EXPECT_FALSE(NeedsChangesBelowOfSelected(facts)) << "the rename decides already";
    facts = BaseSelected();
    Trashed(facts);
    facts.joined = E_INVALIDARG;
    EXPECT_FALSE(NeedsRowOfSelected(facts)) << "no place here to look at";
}

TEST(SelectedFolderDetail, AFailedStepLeavesTheFolderOutAndAFailedLookUpEndsTheWalk) {
    SelectedFolderFacts facts = BaseSelected();
    ActionPlan plan = PlanSelectedFolder(facts);
    ASSERT_EQ(plan.steps.size(), 2u);
    for (const SyncAction& step : plan.steps)
        EXPECT_EQ(step.failure, FailureOutcome::LeavesOut) << KindName(step.kind);
    EXPECT_EQ(plan.steps[1].fileId, 12u) << "its row is looked for by its drive id";
    Trashed(facts);
    plan = PlanSelectedFolder(facts);
    EXPECT_EQ(plan.steps[0].failure, FailureOutcome::LeavesOut) << "a failed deletion was told by the deletion";
    facts = BaseSelected();
    facts.joined = E_INVALIDARG;
    plan = PlanSelectedFolder(facts);
    EXPECT_EQ(plan.steps[0].path, L"work\\docs") << "told by the selection's own name";
    EXPECT_EQ(plan.steps[0].failure, FailureOutcome::LeavesOut);
    facts = BaseSelected();
    facts.metaResult = HRESULT_FROM_WIN32(ERROR_TIMEOUT);
    plan = PlanSelectedFolder(facts);
    ASSERT_EQ(plan.steps.size(), 2u);
    EXPECT_EQ(plan.steps[0].result, HRESULT_FROM_WIN32(ERROR_TIMEOUT)) << "the item shows what failed";
    EXPECT_FALSE(plan.steps[0].isFolder);
    EXPECT_EQ(plan.steps[1].result, E_FAIL);
    EXPECT_EQ(plan.steps[1].failure, FailureOutcome::Fails);
}

}  // namespace
