// The full walk's rules on what was gathered for one folder or item: one
// table per rule, a row per case.
#include <gtest/gtest.h>

#include <functional>

#include "BrelioServices/RestFrame.h"
#include "BrelioSync/ChangeCodes.h"
#include "BrelioSync/FileTimes.h"
#include "BrelioSync/WalkPlan.h"
#include "PlanText.h"

using namespace brelio::test;

namespace {

constexpr wchar_t kPath[] = L"C:\\Sync\\docs\\report.txt";

FileInfo Entry(uint64_t id, const wchar_t* name, const char* type = "file") {
    FileInfo entry;
    entry.id = id;
    entry.name = name;
    entry.path = std::wstring(L"/docs/") + name;
    entry.type = type;
    entry.hash = "h1";
    entry.revision = 5;
    return entry;
}

FileRecord Row(uint64_t id, const wchar_t* name) {
    FileRecord row;
    row.file_id = id;
    row.name = name;
    row.hash = "h1";
    row.revision = 5;
    row.size = 10;
    row.last_write_time = 1000;
    row.status = FILE_STATUS_SYNCED;
    return row;
}

ChangeInfo Meta(const char* type, const wchar_t* path) {
    ChangeInfo meta;
    meta.changeType = type;
    meta.file = Entry(7, L"report.txt");
    meta.file.path = path;
    return meta;
}

// --- Whether the walk may start ---

struct StartCase {
    const char* what;
    bool missingOrEmpty;
    HRESULT listed;
    bool recorded;
    WalkStart verdict;
};

const StartCase kStartCases[] = {
    {"a folder holding items is walked", false, E_FAIL, true, WalkStart::Walk},
    {"empty, and nothing of the drive's recorded in sync: a new folder", true, S_OK, false, WalkStart::Walk},
    {"empty while the drive's items are recorded in sync: lost, not emptied", true, S_OK, true, WalkStart::Refuse},
    {"empty, the drive's listing unreadable: no walk on a guess", true, E_FAIL, false, WalkStart::ListingFailed},
    {"empty, the drive's folder gone too", true, API_E_ITEM_NOT_FOUND, false, WalkStart::Walk},
};

class WalkStartRule : public ::testing::TestWithParam<StartCase> {};

TEST_P(WalkStartRule, JudgesTheCase) {
    const StartCase& row = GetParam();
    WalkStartFacts facts;
    facts.missingOrEmpty = row.missingOrEmpty;
    facts.listed = row.listed;
    facts.recorded = row.recorded;
    EXPECT_EQ(JudgeWalkStart(facts), row.verdict) << row.what;
}

INSTANTIATE_TEST_SUITE_P(Cases, WalkStartRule, ::testing::ValuesIn(kStartCases));

// --- The refused walk ---

TEST(RefusedWalkRule, AMissingItemIsADeletionWhileARefusedWalkStandsOnlyWhenTheMonitorSawItGo) {
    ChangeRecord removed;
    removed.action = CHANGE_ACTION_REMOVED;
    ChangeRecord renamed;
    renamed.action = CHANGE_ACTION_RENAMED;
    EXPECT_TRUE(IsMissingItemDeleted(false, nullptr)) << "a walk, no refusal";
    EXPECT_TRUE(IsMissingItemDeleted(false, &renamed));
    EXPECT_FALSE(IsMissingItemDeleted(true, nullptr)) << "a walk while a refusal stands";
    EXPECT_FALSE(IsMissingItemDeleted(true, &renamed));
    EXPECT_TRUE(IsMissingItemDeleted(true, &removed)) << "the removal the monitor saw";
}

// --- A local file against the drive's entry of its name ---

struct CompareCase {
    const char* what;
    std::function<void(CompareFacts&)> setup;
    uint32_t code;
    uint64_t storedRevision;  // 0: left as it was
    uint64_t storedFileId;    // the entry's id: left as it was
};

const CompareCase kCompareCases[] = {
    {"the row unreadable", [](CompareFacts& f) { f.rowFound = E_FAIL; }, CHANGE_NONE, 0, 7},
    {"no row", [](CompareFacts& f) { f.rowFound = S_FALSE; }, CHANGE_NO_STORAGE_ROW, 0, 7},
    {"in sync", nullptr, CHANGE_NONE, 0, 7},
    {"its content was to come again", [](CompareFacts& f) { f.row.status = FILE_STATUS_RETRANSFER; },
     CHANGE_MODIFIED_BOTH, 0, 7},
    {"written here since", [](CompareFacts& f) { f.localWrite = TicksToFileTime(2000); }, CHANGE_MODIFIED_LOCAL, 5,
     7},
    {"another size here", [](CompareFacts& f) { f.localSize = 11; }, CHANGE_MODIFIED_LOCAL, 5, 7},
    {"recorded changed", [](CompareFacts& f) { f.row.status = FILE_STATUS_CHANGED; }, CHANGE_MODIFIED_LOCAL, 5, 7},
    {"another content there", [](CompareFacts& f) { f.entry.hash = "h2"; }, CHANGE_MODIFIED_REMOTE, 0, 7},
    {"a hash differing in letter case only", [](CompareFacts& f) { f.entry.hash = "H1"; }, CHANGE_NONE, 0, 7},
    {"a new revision there", [](CompareFacts& f) { f.entry.revision = 6; }, CHANGE_MODIFIED_REMOTE, 0, 7},
    {"changed on both sides", [](CompareFacts& f) {
         f.localSize = 11;
         f.entry.hash = "h2";
     },
     CHANGE_MODIFIED_BOTH, 5, 7},
    {"the row is another drive item's", [](CompareFacts& f) { f.row.file_id = 12; }, CHANGE_MODIFIED_BOTH, 0, 12},
    {"changed here while a refused walk stands: both stay", [](CompareFacts& f) {
         f.localSize = 11;
         f.walkRefused = true;
     },
     CHANGE_MODIFIED_BOTH, 5, 7},
    {"changed there while a refused walk stands", [](CompareFacts& f) {
         f.entry.hash = "h2";
         f.walkRefused = true;
     },
     CHANGE_MODIFIED_REMOTE, 0, 7},
};

class CompareRule : public ::testing::TestWithParam<CompareCase> {};

TEST_P(CompareRule, ClassifiesTheCase) {
    const CompareCase& row = GetParam();
    CompareFacts facts;
    facts.rowFound = S_OK;
    facts.row = Row(7, L"docs\\report.txt");
    facts.localWrite = TicksToFileTime(1000);
    facts.localSize = 10;
    facts.entry = Entry(7, L"report.txt");
    if (row.setup) row.setup(facts);
    uint64_t storedRevision = 0;
    uint64_t storedFileId = facts.entry.id;
    EXPECT_EQ(CompareFileWithEntry(facts, storedRevision, storedFileId), row.code) << row.what;
    EXPECT_EQ(storedRevision, row.storedRevision) << row.what;
    EXPECT_EQ(storedFileId, row.storedFileId) << row.what;
}

INSTANTIATE_TEST_SUITE_P(Cases, CompareRule, ::testing::ValuesIn(kCompareCases));

// --- Names that differ only in letter case ---

struct TwinCase {
    const char* what;
    const wchar_t* name;
    bool isFolder;
    uint64_t rowId;
    size_t entry;  // 3: none
};

// Two drive files whose names differ only in letter case, and a folder.
const TwinCase kTwinCases[] = {
    {"no row: the first of the name", L"report.txt", false, 0, 0},
    {"the row names the second twin", L"report.txt", false, 2, 1},
    {"the row's item is not in the listing: the first of the name", L"report.txt", false, 9, 0},
    {"the row's item is of the other kind", L"REPORT.TXT", true, 2, 2},
    {"letter case aside", L"REPORT.TXT", false, 0, 0},
    {"no entry of that kind", L"report.txt", true, 0, 2},
    {"no entry of that name", L"notes.txt", false, 0, 3},
};

class CaseTwinsRule : public ::testing::TestWithParam<TwinCase> {};

TEST_P(CaseTwinsRule, FindsTheEntryOfTheLocalItem) {
    const TwinCase& row = GetParam();
    const FileInfoList listing = {Entry(1, L"Report.txt"), Entry(2, L"report.TXT"), Entry(3, L"report.txt", "folder")};
    EXPECT_EQ(EntryOfLocalItem(listing, row.name, row.isFolder, row.rowId), row.entry) << row.what;
}

INSTANTIATE_TEST_SUITE_P(Cases, CaseTwinsRule, ::testing::ValuesIn(kTwinCases));

// --- Deletions ---

struct DeletionCase {
    const char* what;
    bool isFolder;
    std::function<void(LocalDeletionFacts&)> setup;
    const char* kinds;
};

const DeletionCase kDeletionCases[] = {
    {"no row: nothing to judge", false, [](LocalDeletionFacts& f) { f.rowFound = S_FALSE; }, ""},
    {"the row unreadable", false, [](LocalDeletionFacts& f) { f.rowFound = E_FAIL; }, "Fail"},
    {"a rename here not sent yet settles it", false, [](LocalDeletionFacts& f) { f.renamePending = true; }, "Skip"},
    {"the drive cannot tell", false, [](LocalDeletionFacts& f) { f.metaResult = E_FAIL; }, "Skip"},
    {"alive elsewhere on the drive: its move comes", false, [](LocalDeletionFacts& f) {
         f.meta.changeType = "updated";
     },
     "Note"},
    {"trashed there, unchanged here: deleted here", false, nullptr, "DeleteLocalFile"},
    {"gone from the drive altogether", false, [](LocalDeletionFacts& f) { f.metaResult = API_E_ITEM_NOT_FOUND; },
     "DeleteLocalFile"},
    {"trashed there, edited here: the edit goes up as a new file", false,
     [](LocalDeletionFacts& f) { f.changedHere = true; }, "UploadNew"},
    {"edited here, its folder not synced yet", false, [](LocalDeletionFacts& f) {
         f.changedHere = true;
         f.folderId = kUnknownParentId;
     },
     "Skip"},
    {"a folder trashed there, unchanged inside", true, nullptr, "DeleteLocalFolder"},
    {"a folder trashed there, changed inside: it goes up again holding that", true,
     [](LocalDeletionFacts& f) { f.changedHere = true; }, "CreateRemoteFolderInAndWalk"},
    {"a folder alive elsewhere", true, [](LocalDeletionFacts& f) { f.meta.changeType = "updated"; }, "Note"},
};

LocalDeletionFacts DeletionFacts(bool isFolder) {
    LocalDeletionFacts facts;
    facts.path = kPath;
    facts.isFolder = isFolder;
    facts.folderId = 3;
    facts.rowFound = S_OK;
    facts.row = Row(7, L"docs\\report.txt");
    facts.metaResult = S_OK;
    facts.meta = Meta("deleted", L"/docs/report.txt");
    return facts;
}

class DeletionRule : public ::testing::TestWithParam<DeletionCase> {};

struct TrashedThereCase {
    const char* what;
    std::function<void(TrashedThereFacts&)> setup;
    const char* kinds;
};

const TrashedThereCase kTrashedThereCases[] = {
    {"gone here as well: only the row goes", [](TrashedThereFacts& f) { f.foundHere = false; }, "DropRowAt"},
    {"here: the walk's checks decide", nullptr, "DeleteLocalItemChecked"},
    {"here, its parent's row unreadable", [](TrashedThereFacts& f) { f.parentFound = E_FAIL; }, "Fail"},
    {"here, its parent without a row: the checks decide", [](TrashedThereFacts& f) {
         f.parentFound = S_FALSE;
         f.parentId = kUnknownParentId;
     },
     "DeleteLocalItemChecked"},
};

class TrashedThereRule : public ::testing::TestWithParam<TrashedThereCase> {};

TEST_P(TrashedThereRule, PlansTheActionsOfTheCase) {
    const TrashedThereCase& row = GetParam();
    TrashedThereFacts facts;
    facts.path = kPath;
    facts.foundHere = true;
    facts.parentFound = S_OK;
    facts.parentId = 3;
    if (row.setup) row.setup(facts);
    EXPECT_EQ(NeedsParentOfTrashed(facts), facts.foundHere) << row.what;
    EXPECT_EQ(KindsOf(PlanTrashedThere(facts)), row.kinds) << row.what;
}

INSTANTIATE_TEST_SUITE_P(Cases, TrashedThereRule, ::testing::ValuesIn(kTrashedThereCases));

// What stands here decides the kind: a folder where the drive trashed a
// file is judged as a folder.
TEST(TrashedThereDetail, TheItemFoundHereDecidesTheKindAndCarriesItsParent) {
    TrashedThereFacts facts;
    facts.path = kPath;
    facts.isFolder = false;
    facts.foundHere = true;
    facts.local.dwFileAttributes = FILE_ATTRIBUTE_DIRECTORY;
    facts.parentFound = S_OK;
    facts.parentId = 3;
    const ActionPlan plan = PlanTrashedThere(facts);
    ASSERT_EQ(plan.steps.size(), 1u);
    EXPECT_TRUE(plan.steps[0].isFolder);
    EXPECT_EQ(plan.steps[0].targetId, 3u);
    EXPECT_EQ(plan.steps[0].path, kPath);
}

TEST(TrashedThereDetail, GoneHereTheRowGoesWithTheDrivesKind) {
    TrashedThereFacts facts;
    facts.path = kPath;
    facts.isFolder = true;
    const ActionPlan plan = PlanTrashedThere(facts);
    ASSERT_EQ(plan.steps.size(), 1u);
    EXPECT_TRUE(plan.steps[0].isFolder);
}

TEST_P(DeletionRule, PlansTheActionsOfTheCase) {
    const DeletionCase& row = GetParam();
    LocalDeletionFacts facts = DeletionFacts(row.isFolder);
    if (row.setup) row.setup(facts);
    EXPECT_EQ(KindsOf(PlanLocalDeletion(facts)), row.kinds) << row.what;
}

INSTANTIATE_TEST_SUITE_P(Cases, DeletionRule, ::testing::ValuesIn(kDeletionCases));

// The look-ups in the order the rule takes them, none beyond the one that
// decides: the drive is asked only for an item no rename accounts for.
std::string Lookups(const LocalDeletionFacts& facts) {
    std::string order;
    for (DeletionStep step = NextDeletionLookup(facts, DeletionStep::Decided); step != DeletionStep::Decided;
         step = NextDeletionLookup(facts, step)) {
        if (!order.empty()) order += ",";
        order += step == DeletionStep::RenamePending ? "rename" : step == DeletionStep::DriveState ? "drive" : "here";
    }
    return order;
}

TEST(DeletionRuleLookups, StopAtTheFirstThatDecides) {
    LocalDeletionFacts facts = DeletionFacts(false);
    EXPECT_EQ(Lookups(facts), "rename,drive,here");
    facts.rowFound = S_FALSE;
    EXPECT_EQ(Lookups(facts), "");
    facts = DeletionFacts(false);
    facts.renamePending = true;
    EXPECT_EQ(Lookups(facts), "rename");
    facts = DeletionFacts(false);
    facts.meta.changeType = "updated";
    EXPECT_EQ(Lookups(facts), "rename,drive");
    facts.metaResult = E_FAIL;
    EXPECT_EQ(Lookups(facts), "rename,drive");
}

struct UnlistedCase {
    const char* what;
    std::function<void(UnlistedUploadFacts&)> setup;
    const char* kinds;
};

const UnlistedCase kUnlistedCases[] = {
    {"moved there: its move brings it", nullptr, "Note"},
    {"trashed there: the edit goes up as a new file", [](UnlistedUploadFacts& f) { f.meta.changeType = "deleted"; },
     "UploadNew"},
    {"never there", [](UnlistedUploadFacts& f) { f.rowFound = S_FALSE; }, "UploadNew"},
    {"a row without an id", [](UnlistedUploadFacts& f) { f.row.file_id = 0; }, "UploadNew"},
    {"the drive cannot tell", [](UnlistedUploadFacts& f) { f.metaResult = E_FAIL; }, "Skip"},
    {"the row unreadable", [](UnlistedUploadFacts& f) { f.rowFound = E_FAIL; }, "Fail"},
};

class UnlistedRule : public ::testing::TestWithParam<UnlistedCase> {};

TEST_P(UnlistedRule, PlansTheActionsOfTheCase) {
    const UnlistedCase& row = GetParam();
    UnlistedUploadFacts facts;
    facts.path = kPath;
    facts.folderId = 3;
    facts.rowFound = S_OK;
    facts.row = Row(7, L"docs\\report.txt");
    facts.metaResult = S_OK;
    facts.meta = Meta("updated", L"/archive/report.txt");
    if (row.setup) row.setup(facts);
    EXPECT_EQ(KindsOf(PlanUnlistedUpload(facts)), row.kinds) << row.what;
}

INSTANTIATE_TEST_SUITE_P(Cases, UnlistedRule, ::testing::ValuesIn(kUnlistedCases));

// --- A drive entry the local folder does not hold ---

struct LeftoverEntryCase {
    const char* what;
    bool isFolder;
    std::function<void(LeftoverEntryFacts&)> setup;
    const char* kinds;
};

const LeftoverEntryCase kLeftoverEntryCases[] = {
    {"its name cannot be a path here", false, [](LeftoverEntryFacts& f) { f.joined = E_INVALIDARG; }, "Skip"},
    {"on its way to where it was moved here", false, [](LeftoverEntryFacts& f) { f.moving = true; }, ""},
    {"its status unreadable", false, [](LeftoverEntryFacts& f) { f.statusRead = E_FAIL; }, "Fail"},
    {"in sync: the rule of a missing item decides", false, nullptr, "RemoveRemoteLeftover"},
    {"in sync, its row gone meanwhile", false, [](LeftoverEntryFacts& f) { f.rowFound = S_FALSE; }, ""},
    {"in sync, its row unreadable", false, [](LeftoverEntryFacts& f) { f.rowFound = E_FAIL; }, "Fail"},
    {"changed here, a rename of it pending", false, [](LeftoverEntryFacts& f) {
         f.status = FILE_STATUS_CHANGED;
         f.renamePending = true;
     },
     "Skip"},
    {"changed here, elsewhere than the drive has it", false,
     [](LeftoverEntryFacts& f) { f.status = FILE_STATUS_CHANGED; }, "RemoveRemoteLeftover"},
    {"changed here, no row: new to this side", false, [](LeftoverEntryFacts& f) {
         f.status = FILE_STATUS_CHANGED;
         f.rowFound = S_FALSE;
     },
     "Download"},
    {"new on the drive: it comes here", false, [](LeftoverEntryFacts& f) { f.status = FILE_STATUS_NONE; },
     "Download"},
    {"a new folder comes here with all it holds", true, [](LeftoverEntryFacts& f) { f.status = FILE_STATUS_NONE; },
     "CreateLocalFolderAndWalk"},
    {"the old item of a move cut short: its record finishes it", false, [](LeftoverEntryFacts& f) {
         f.status = FILE_STATUS_NONE;
         f.renamePending = true;
     },
     "Skip"},
    {"something of its name appeared here meanwhile", false, [](LeftoverEntryFacts& f) {
         f.status = FILE_STATUS_NONE;
         f.pathExists = true;
     },
     "Skip"},
    {"its content to come again", false, [](LeftoverEntryFacts& f) { f.status = FILE_STATUS_RETRANSFER; },
     "Download"},
    {"failed here before", false, [](LeftoverEntryFacts& f) { f.status = FILE_STATUS_LOCAL_FAILED; },
     "ReportFailed,Fail"},
};

LeftoverEntryFacts BaseLeftoverEntry(bool isFolder) {
    LeftoverEntryFacts facts;
    facts.folderPath = L"C:\\Sync\\docs";
    facts.entry = Entry(7, L"report.txt", isFolder ? "folder" : "file");
    facts.path = kPath;
    facts.status = FILE_STATUS_SYNCED;
    facts.rowFound = S_OK;
    facts.row = Row(7, L"docs\\report.txt");
    return facts;
}

class LeftoverEntryRule : public ::testing::TestWithParam<LeftoverEntryCase> {};

TEST_P(LeftoverEntryRule, PlansTheActionsOfTheCase) {
    const LeftoverEntryCase& row = GetParam();
    LeftoverEntryFacts facts = BaseLeftoverEntry(row.isFolder);
    if (row.setup) row.setup(facts);
    EXPECT_EQ(KindsOf(PlanLeftoverEntry(facts)), row.kinds) << row.what;
}

INSTANTIATE_TEST_SUITE_P(Cases, LeftoverEntryRule, ::testing::ValuesIn(kLeftoverEntryCases));

TEST(LeftoverEntryDetail, EachLookUpOnlyWhenTheRuleGetsToIt) {
    LeftoverEntryFacts facts = BaseLeftoverEntry(false);
    EXPECT_TRUE(NeedsStatusOfLeftover(facts));
    EXPECT_TRUE(NeedsRowOfLeftover(facts));
    EXPECT_FALSE(NeedsPlaceOfLeftover(facts)) << "in sync, the row decides";
    facts.status = FILE_STATUS_CHANGED;
    facts.rowFound = S_FALSE;
    EXPECT_TRUE(NeedsPlaceOfLeftover(facts)) << "changed here without a row, it may come here";
    facts.renamePending = true;
    EXPECT_FALSE(NeedsRowOfLeftover(facts));
    EXPECT_FALSE(NeedsPlaceOfLeftover(facts));
    facts = BaseLeftoverEntry(false);
    facts.moving = true;
    EXPECT_FALSE(NeedsStatusOfLeftover(facts));
    facts = BaseLeftoverEntry(false);
    facts.joined = E_INVALIDARG;
    EXPECT_FALSE(NeedsStatusOfLeftover(facts));
}

TEST(LeftoverEntryDetail, WhatComesHereIsANewRowAndAFailureIsReportedByTheDrivesName) {
    LeftoverEntryFacts facts = BaseLeftoverEntry(false);
    facts.status = FILE_STATUS_NONE;
    ActionPlan plan = PlanLeftoverEntry(facts);
    ASSERT_EQ(plan.steps.size(), 1u);
    EXPECT_TRUE(plan.steps[0].insert);
    EXPECT_EQ(plan.steps[0].path, kPath);
    facts.status = FILE_STATUS_RETRANSFER;
    plan = PlanLeftoverEntry(facts);
    ASSERT_EQ(plan.steps.size(), 1u);
    EXPECT_FALSE(plan.steps[0].insert) << "its row stays";
    facts.status = FILE_STATUS_LOCAL_FAILED;
    plan = PlanLeftoverEntry(facts);
    ASSERT_EQ(plan.steps.size(), 2u);
    EXPECT_EQ(plan.steps[0].path, L"report.txt");
    EXPECT_EQ(plan.steps[1].result, E_FAIL);
    facts = BaseLeftoverEntry(false);
    facts.joined = E_INVALIDARG;
    plan = PlanLeftoverEntry(facts);
    ASSERT_EQ(plan.steps.size(), 1u);
    EXPECT_EQ(plan.steps[0].path, L"C:\\Sync\\docs\\report.txt");
}

struct LeftoverCase {
    const char* what;
    bool isFolder;
    std::function<void(LeftoverFacts&)> setup;
    const char* kinds;
};

const LeftoverCase kLeftoverCases[] = {
    {"still at the row's place here: the drive's move is followed", false,
     [](LeftoverFacts& f) { f.rowPathExists = true; }, "FollowRemoteMove"},
    {"a folder still here: followed, then walked", true, [](LeftoverFacts& f) { f.rowPathExists = true; },
     "FollowRemoteMove,WalkFolder"},
    {"gone here, a rename here not sent yet", false, [](LeftoverFacts& f) { f.renamePending = true; }, "Skip"},
    {"deleted here, unchanged there: trashed", false, nullptr, "DeleteRemoteEntry"},
    {"deleted here, edited there: it comes back", false, [](LeftoverFacts& f) { f.entry.hash = "h2"; }, "Download"},
    {"deleted here, moved there: it comes back", false,
     [](LeftoverFacts& f) { f.path = L"C:\\Sync\\archive\\report.txt"; }, "Download"},
    {"missing while a refused walk stands: it comes back", false, [](LeftoverFacts& f) { f.deletedHere = false; },
     "Download"},
    {"a folder deleted here, all of it as recorded: trashed", true,
     [](LeftoverFacts& f) { f.subtreeAsRecorded = true; }, "DeleteRemoteEntry"},
    {"a folder deleted here, changed inside there: what changed comes back", true, nullptr,
     "Note,CreateLocalFolderAndWalk"},
    {"a folder missing while a refused walk stands: it comes back whole", true, [](LeftoverFacts& f) {
         f.deletedHere = false;
         f.subtreeAsRecorded = true;
     },
     "Note,CreateLocalFolderAndWalk"},
    {"a folder deleted here, moved there into a folder not here yet: it waits", true,
     [](LeftoverFacts& f) { f.path = L"C:\\Sync\\archive\\report.txt"; }, "Note,Fail"},
    {"a folder deleted here, moved there: its rows follow it, then what changed comes back", true,
     [](LeftoverFacts& f) {
         f.path = L"C:\\Sync\\archive\\report.txt";
         f.folderPresent = true;
     },
     "RenameRows,Note,CreateLocalFolderAndWalk"},
    {"a row whose place cannot be one here is judged as gone", false, [](LeftoverFacts& f) {
         f.rowPath.clear();
         f.rowPathExists = true;
     },
     "DeleteRemoteEntry"},
};

LeftoverFacts BaseLeftover(bool isFolder) {
    LeftoverFacts facts;
    facts.path = kPath;
    facts.entry = Entry(7, L"report.txt", isFolder ? "folder" : "file");
    facts.row = Row(7, L"docs\\report.txt");
    facts.rowPath = kPath;
    return facts;
}

class LeftoverRule : public ::testing::TestWithParam<LeftoverCase> {};

TEST_P(LeftoverRule, PlansTheActionsOfTheCase) {
    const LeftoverCase& row = GetParam();
    LeftoverFacts facts = BaseLeftover(row.isFolder);
    if (row.setup) row.setup(facts);
    EXPECT_EQ(KindsOf(PlanRemoteLeftover(facts)), row.kinds) << row.what;
}

INSTANTIATE_TEST_SUITE_P(Cases, LeftoverRule, ::testing::ValuesIn(kLeftoverCases));

TEST(LeftoverRuleLookups, TheDrivesSubtreeIsListedOnlyForAFolderDeletedHereInPlace) {
    LeftoverFacts facts = BaseLeftover(true);
    EXPECT_TRUE(NeedsSubtreeCheck(facts));
    facts.deletedHere = false;
    EXPECT_FALSE(NeedsSubtreeCheck(facts)) << "a refused walk brings it all back";
    facts = BaseLeftover(true);
    facts.renamePending = true;
    EXPECT_FALSE(NeedsSubtreeCheck(facts));
    facts = BaseLeftover(true);
    facts.path = L"C:\\Sync\\archive\\report.txt";
    EXPECT_FALSE(NeedsSubtreeCheck(facts)) << "moved there";
    facts = BaseLeftover(true);
    facts.rowPathExists = true;
    EXPECT_FALSE(NeedsSubtreeCheck(facts)) << "still here";
    EXPECT_FALSE(NeedsSubtreeCheck(BaseLeftover(false))) << "a file";
}

TEST(LeftoverRuleDetail, AFolderMovedThereTakesItsRowsAlongBeforeComingBack) {
    LeftoverFacts facts = BaseLeftover(true);
    facts.path = L"C:\\Sync\\archive\\report.txt";
    facts.folderPresent = true;
    const ActionPlan plan = PlanRemoteLeftover(facts);
    ASSERT_EQ(plan.steps.size(), 3u);
    EXPECT_EQ(plan.steps[0].oldName, kPath);
    EXPECT_EQ(plan.steps[0].path, L"C:\\Sync\\archive\\report.txt");
    EXPECT_EQ(plan.steps[2].remote.id, 7u);
    EXPECT_EQ(plan.steps[2].path, L"C:\\Sync\\archive\\report.txt");
}

// --- Moves that form a loop ---

TEST(MoveLoopRule, EveryFolderOnTheWayUpToTheSyncFolderCounts) {
    const std::wstring root = L"C:\\Sync";
    EXPECT_EQ(FoldersAbove(L"C:\\Sync\\X\\Y\\E", root.size()),
              (std::vector<std::wstring>{L"C:\\Sync\\X\\Y", L"C:\\Sync\\X"}));
    EXPECT_TRUE(FoldersAbove(L"C:\\Sync\\E", root.size()).empty()) << "at the top nothing lies above";
}

struct LoopCase {
    const char* what;
    const char* changeType;
    const wchar_t* onTheWayPath;  // where the drive has the folder on the way
    bool loops;
};

const LoopCase kLoopCases[] = {
    {"the folder on the way lies inside the moved folder on the drive", "updated", L"/E/X", true},
    {"deeper inside", "updated", L"/E/C/X", true},
    {"beside it", "updated", L"/X", false},
    {"a name that only begins alike", "updated", L"/Elsewhere/X", false},
    {"letter case aside", "updated", L"/e/X", true},
    {"trashed on the drive", "deleted", L"/E/X", false},
};

class MoveLoopCases : public ::testing::TestWithParam<LoopCase> {};

TEST_P(MoveLoopCases, TellsWhetherTheMoveClosesALoop) {
    const LoopCase& row = GetParam();
    EXPECT_EQ(ClosesMoveLoop(Meta(row.changeType, row.onTheWayPath), L"E"), row.loops) << row.what;
}

INSTANTIATE_TEST_SUITE_P(Cases, MoveLoopCases, ::testing::ValuesIn(kLoopCases));

}  // namespace
