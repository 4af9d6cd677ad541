// A move sent as a copy: what of the old folder comes into the moved one,
// how each item of the moved folder reaches the copy, and whether the old
// file goes to the trash.
#include <gtest/gtest.h>

#include <functional>

#include "BrelioServices/RestFrame.h"
#include "BrelioSync/MoveByCopyPlan.h"
#include "PlanText.h"

using namespace brelio::test;

namespace {

constexpr uint64_t kCopyFolder = 40;

// --- An entry of the old folder on the drive ---

// A file of the old folder with its row, alike on both sides.
OldFolderEntryFacts BaseOldEntry(bool isFolder) {
    OldFolderEntryFacts facts;
    facts.entry.id = 7;
    facts.entry.name = L"a.txt";
    facts.entry.type = isFolder ? "folder" : "file";
    facts.entry.hash = "h1";
    facts.isFolder = isFolder;
    facts.rowFound = S_OK;
    facts.row.file_id = 7;
    facts.row.name = L"old\\a.txt";
    facts.row.hash = "h1";
    facts.path = L"C:\\Sync\\new\\a.txt";
    facts.rowPath = L"C:\\Sync\\old\\a.txt";
    return facts;
}

void NoRow(OldFolderEntryFacts& facts) { facts.rowFound = S_FALSE; }

struct OldEntryCase {
    const char* what;
    bool isFolder;
    std::function<void(OldFolderEntryFacts&)> setup;
    const char* kinds;
};

const OldEntryCase kOldEntryCases[] = {
    {"alike on both sides: it goes up with the copy", false, nullptr, ""},
    {"itself on its way elsewhere", false, [](OldFolderEntryFacts& f) { f.moving = true; }, ""},
    {"its row unreadable", false, [](OldFolderEntryFacts& f) { f.rowFound = E_FAIL; }, "Fail"},
    {"added there: it comes into the moved folder", false, NoRow, "Download"},
    {"a folder added there comes with what it holds", true, NoRow, "CreateLocalFolderAndWalk"},
    {"added there, its name taken here meanwhile", false, [](OldFolderEntryFacts& f) {
         NoRow(f);
         f.pathExists = true;
     },
     ""},
    {"added there under a name that cannot be a path here", false, [](OldFolderEntryFacts& f) {
         NoRow(f);
         f.joined = E_INVALIDARG;
     },
     ""},
    {"the old item of a move of its own, not finished", false, [](OldFolderEntryFacts& f) {
         NoRow(f);
         f.renamePending = true;
     },
     ""},
    {"edited there while its file still stands here", false, [](OldFolderEntryFacts& f) {
         f.entry.hash = "h2";
         f.rowPathExists = true;
     },
     "FollowRemoteMove"},
    {"edited there, its file gone from where the row had it", false,
     [](OldFolderEntryFacts& f) { f.entry.hash = "h2"; }, ""},
    {"letter case of the hash aside, alike", false, [](OldFolderEntryFacts& f) {
         f.entry.hash = "H1";
         f.rowPathExists = true;
     },
     ""},
};

class OldEntryRule : public ::testing::TestWithParam<OldEntryCase> {};

TEST_P(OldEntryRule, PlansTheActionsOfTheCase) {
    const OldEntryCase& row = GetParam();
    OldFolderEntryFacts facts = BaseOldEntry(row.isFolder);
    if (row.setup) row.setup(facts);
    EXPECT_EQ(KindsOf(PlanOldFolderEntry(facts)), row.kinds) << row.what;
}

INSTANTIATE_TEST_SUITE_P(Cases, OldEntryRule, ::testing::ValuesIn(kOldEntryCases));

TEST(OldEntryDetail, EachLookUpOnlyWhenTheRuleGetsToIt) {
    OldFolderEntryFacts facts = BaseOldEntry(false);
    EXPECT_FALSE(NeedsPlaceOfOldEntry(facts)) << "a row: its own place decides";
    EXPECT_FALSE(NeedsRowPlaceOfOldEntry(facts)) << "alike on both sides";
    facts.entry.hash = "h2";
    EXPECT_TRUE(NeedsRowPlaceOfOldEntry(facts));
    facts.moving = true;
    EXPECT_FALSE(NeedsRowPlaceOfOldEntry(facts));
    facts = BaseOldEntry(false);
    NoRow(facts);
    EXPECT_TRUE(NeedsPlaceOfOldEntry(facts));
    facts.renamePending = true;
    EXPECT_FALSE(NeedsPlaceOfOldEntry(facts));
    facts = BaseOldEntry(true);
    facts.entry.hash = "h2";
    EXPECT_FALSE(NeedsRowPlaceOfOldEntry(facts)) << "a folder's hash says nothing";
}

TEST(OldEntryDetail, WhatComesHereTakesANewRowWhereTheDriveHasIt) {
    OldFolderEntryFacts facts = BaseOldEntry(false);
    NoRow(facts);
    ActionPlan plan = PlanOldFolderEntry(facts);
    ASSERT_EQ(plan.steps.size(), 1u);
    EXPECT_TRUE(plan.steps[0].insert);
    EXPECT_EQ(plan.steps[0].path, L"C:\\Sync\\new\\a.txt");
    EXPECT_EQ(plan.steps[0].remote.id, 7u);
    facts = BaseOldEntry(false);
    facts.entry.hash = "h2";
    facts.rowPathExists = true;
    plan = PlanOldFolderEntry(facts);
    ASSERT_EQ(plan.steps.size(), 1u);
    EXPECT_EQ(plan.steps[0].path, L"C:\\Sync\\old\\a.txt") << "followed from where its row has it";
    EXPECT_EQ(plan.steps[0].row.file_id, 7u);
}

// --- An item of the moved folder, against the copy ---

// A file here whose row's item is in the old folder on the drive.
CopiedItemFacts BaseCopied(bool isFolder) {
    CopiedItemFacts facts;
    facts.path = isFolder ? L"C:\\Sync\\new\\sub" : L"C:\\Sync\\new\\a.txt";
    facts.isFolder = isFolder;
    facts.folderId = kCopyFolder;
    facts.known = true;
    facts.row.file_id = 7;
    facts.row.name = isFolder ? L"old\\sub" : L"old\\a.txt";
    facts.heldInOld = true;
    facts.standingEntry.id = 50;
    return facts;
}

void Standing(CopiedItemFacts& facts) { facts.standing = true; }
void StandingAsRow(CopiedItemFacts& facts) {
    facts.standing = true;
    facts.standingEntry.id = facts.row.file_id;
}
void Unknown(CopiedItemFacts& facts) {
    facts.known = false;
    facts.heldInOld = false;
}

struct CopiedCase {
    const char* what;
    bool isFolder;
    std::function<void(CopiedItemFacts&)> setup;
    const char* kinds;
};

const CopiedCase kCopiedCases[] = {
    {"a file of the old folder goes up anew", false, nullptr, "RememberReplaced,UploadNew"},
    {"a folder of the old folder is copied in its turn", true, nullptr, "RememberReplaced,CopyFolderUp"},
    {"a file new here goes up", false, Unknown, "UploadNew"},
    {"a folder new here goes up with what it holds", true, Unknown, "CreateRemoteFolderInAndWalk"},
    {"a file a cut-short run copied already", false, StandingAsRow, ""},
    {"a folder a cut-short run copied, the old one still there", true, [](CopiedItemFacts& f) {
         StandingAsRow(f);
         f.oldFound = true;
         f.oldId = 8;
     },
     "CopyFolderUp"},
    {"a folder a cut-short run copied, the old one gone", true, StandingAsRow, "WalkFolder"},
    {"a file whose upload went through before its row was written", false, [](CopiedItemFacts& f) {
         Standing(f);
         f.sameContent = true;
     },
     "RecordSameContent,RememberReplaced"},
    {"a file standing with other content goes up anew", false, Standing, "RememberReplaced,UploadNew"},
    {"a file moved in here before the folder moved", false, [](CopiedItemFacts& f) { f.heldInOld = false; },
     "MoveRemoteByCopy"},
    {"a folder moved in here before the folder moved", true, [](CopiedItemFacts& f) { f.heldInOld = false; },
     "MoveRemoteByCopy"},
    {"moved in here, but moved or trashed there meanwhile", false, [](CopiedItemFacts& f) {
         f.heldInOld = false;
         f.remoteChangePending = true;
     },
     ""},
};

class CopiedItemRule : public ::testing::TestWithParam<CopiedCase> {};

TEST_P(CopiedItemRule, PlansTheActionsOfTheCase) {
    const CopiedCase& row = GetParam();
    CopiedItemFacts facts = BaseCopied(row.isFolder);
    if (row.setup) row.setup(facts);
    EXPECT_EQ(KindsOf(PlanCopiedItem(facts)), row.kinds) << row.what;
}

INSTANTIATE_TEST_SUITE_P(Cases, CopiedItemRule, ::testing::ValuesIn(kCopiedCases));

TEST(CopiedItemDetail, TheContentIsReadOnlyForAStandingFileThatIsNotItsRows) {
    CopiedItemFacts facts = BaseCopied(false);
    EXPECT_FALSE(NeedsContentOfCopiedItem(facts)) << "nothing stands in the copy";
    Standing(facts);
    EXPECT_TRUE(NeedsContentOfCopiedItem(facts));
    StandingAsRow(facts);
    EXPECT_FALSE(NeedsContentOfCopiedItem(facts));
    facts = BaseCopied(true);
    Standing(facts);
    EXPECT_FALSE(NeedsContentOfCopiedItem(facts)) << "a folder has no content to compare";
}

TEST(CopiedItemDetail, EachActionGoesIntoTheCopyAndNamesTheItemItReplaces) {
    CopiedItemFacts facts = BaseCopied(true);
    ActionPlan plan = PlanCopiedItem(facts);
    ASSERT_EQ(plan.steps.size(), 2u);
    EXPECT_EQ(plan.steps[0].fileId, 7u);
    EXPECT_EQ(plan.steps[1].targetId, kCopyFolder);
    EXPECT_EQ(plan.steps[1].fileId, 7u) << "copied from the old folder its row has";
    StandingAsRow(facts);
    plan = PlanCopiedItem(facts);
    ASSERT_EQ(plan.steps.size(), 1u);
    EXPECT_EQ(plan.steps[0].targetId, 7u) << "walked against the copy that stands";
    facts = BaseCopied(false);
    facts.heldInOld = false;
    plan = PlanCopiedItem(facts);
    ASSERT_EQ(plan.steps.size(), 1u);
    EXPECT_EQ(plan.steps[0].fileId, 7u);
    EXPECT_EQ(plan.steps[0].oldName, L"old\\a.txt") << "its own move, from its row's place";
}

// --- The old file once its copy stands ---

OldFileAfterCopyFacts BaseOldFile() {
    OldFileAfterCopyFacts facts;
    facts.oldId = 7;
    facts.oldName = L"old\\a.txt";
    facts.known = true;
    facts.row.hash = "h1";
    facts.row.revision = 3;
    facts.meta.changeType = "updated";
    facts.meta.file.hash = "h1";
    facts.meta.file.revision = 3;
    return facts;
}

struct OldFileCase {
    const char* what;
    std::function<void(OldFileAfterCopyFacts&)> setup;
    const char* kinds;
};

const OldFileCase kOldFileCases[] = {
    {"as the row has it: to the trash", nullptr, "DeleteRemote"},
    {"gone there already", [](OldFileAfterCopyFacts& f) { f.metaResult = API_E_ITEM_NOT_FOUND; }, ""},
    {"trashed there already", [](OldFileAfterCopyFacts& f) { f.meta.changeType = "deleted"; }, ""},
    {"the drive cannot tell: kept", [](OldFileAfterCopyFacts& f) { f.metaResult = E_FAIL; }, "Note"},
    {"edited there meanwhile: kept", [](OldFileAfterCopyFacts& f) { f.meta.file.hash = "h2"; }, "Note"},
    {"letter case of the hash aside, alike", [](OldFileAfterCopyFacts& f) { f.meta.file.hash = "H1"; },
     "DeleteRemote"},
    {"no row to go by", [](OldFileAfterCopyFacts& f) {
         f.known = false;
         f.meta.file.hash = "h2";
     },
     "DeleteRemote"},
    {"resumed, the old one older than the copy", [](OldFileAfterCopyFacts& f) {
         f.resumed = true;
         f.meta.file.hash = "h0";
         f.meta.file.revision = 2;
     },
     "DeleteRemote"},
    {"resumed, the old one edited after the copy", [](OldFileAfterCopyFacts& f) {
         f.resumed = true;
         f.meta.file.hash = "h2";
         f.meta.file.revision = 4;
     },
     "Note"},
};

class OldFileRule : public ::testing::TestWithParam<OldFileCase> {};

TEST_P(OldFileRule, PlansTheActionsOfTheCase) {
    const OldFileCase& row = GetParam();
    OldFileAfterCopyFacts facts = BaseOldFile();
    if (row.setup) row.setup(facts);
    EXPECT_EQ(KindsOf(PlanOldFileAfterCopy(facts)), row.kinds) << row.what;
}

INSTANTIATE_TEST_SUITE_P(Cases, OldFileRule, ::testing::ValuesIn(kOldFileCases));

TEST(OldFileDetail, TheTrashNamesTheOldItemAndTheNoteItsPlace) {
    OldFileAfterCopyFacts facts = BaseOldFile();
    ActionPlan plan = PlanOldFileAfterCopy(facts);
    ASSERT_EQ(plan.steps.size(), 1u);
    EXPECT_EQ(plan.steps[0].fileId, 7u);
    EXPECT_EQ(plan.steps[0].name, L"old\\a.txt");
    EXPECT_FALSE(plan.steps[0].isFolder);
    facts.meta.file.hash = "h2";
    plan = PlanOldFileAfterCopy(facts);
    ASSERT_EQ(plan.steps.size(), 1u);
    EXPECT_EQ(plan.steps[0].path, L"old\\a.txt");
}

// --- An entry of the old folder, once the copy stands ---

// A file of the old folder with its row, deleted here by the move.
OldEntryAfterCopyFacts BaseAfterCopy(bool isFolder) {
    OldEntryAfterCopyFacts facts;
    facts.entry.id = 7;
    facts.entry.hash = "h1";
    facts.isFolder = isFolder;
    facts.rowFound = S_OK;
    facts.row.file_id = 7;
    facts.row.hash = "h1";
    return facts;
}

void NoRowAfterCopy(OldEntryAfterCopyFacts& facts) { facts.rowFound = S_FALSE; }

struct AfterCopyCase {
    const char* what;
    bool isFolder;
    std::function<void(OldEntryAfterCopyFacts&)> setup;
    OldEntryVerdict verdict;
};

const AfterCopyCase kAfterCopyCases[] = {
    {"replaced by a new item in this pass", false, [](OldEntryAfterCopyFacts& f) { f.replaced = true; },
     OldEntryVerdict::Away},
    {"its copy stands", false, [](OldEntryAfterCopyFacts& f) { f.copied = true; }, OldEntryVerdict::Away},
    {"as the row has it, gone here with the move", false, nullptr, OldEntryVerdict::Away},
    {"a folder as the row has it: judged by what it holds", true, nullptr, OldEntryVerdict::Away},
    {"its own copy under way in this pass", false, [](OldEntryAfterCopyFacts& f) { f.moving = true; },
     OldEntryVerdict::Moving},
    {"no row, its own move waiting", false, [](OldEntryAfterCopyFacts& f) {
         NoRowAfterCopy(f);
         f.renamePending = true;
     },
     OldEntryVerdict::Moving},
    {"added there, not here yet", false, NoRowAfterCopy, OldEntryVerdict::New},
    {"added there, something else of its name in the copy", false, [](OldEntryAfterCopyFacts& f) {
         NoRowAfterCopy(f);
         f.nameInCopy = true;
     },
     OldEntryVerdict::Kept},
    {"moved elsewhere here, its change waiting", false, [](OldEntryAfterCopyFacts& f) {
         f.rowPlaceExists = true;
         f.placeChangePending = true;
     },
     OldEntryVerdict::Away},
    {"moved into this folder there, standing elsewhere here", false,
     [](OldEntryAfterCopyFacts& f) { f.rowPlaceExists = true; }, OldEntryVerdict::Kept},
    {"deleted here, edited there: the edit stays", false, [](OldEntryAfterCopyFacts& f) { f.entry.hash = "h2"; },
     OldEntryVerdict::Kept},
    {"letter case of the hash aside, alike", false, [](OldEntryAfterCopyFacts& f) { f.entry.hash = "H1"; },
     OldEntryVerdict::Away},
};

class AfterCopyRule : public ::testing::TestWithParam<AfterCopyCase> {};

TEST_P(AfterCopyRule, JudgesTheEntry) {
    const AfterCopyCase& row = GetParam();
    OldEntryAfterCopyFacts facts = BaseAfterCopy(row.isFolder);
    if (row.setup) row.setup(facts);
    EXPECT_EQ(JudgeOldEntryAfterCopy(facts), row.verdict) << row.what;
}

INSTANTIATE_TEST_SUITE_P(Cases, AfterCopyRule, ::testing::ValuesIn(kAfterCopyCases));

TEST(AfterCopyDetail, EachLookUpOnlyWhenTheRuleGetsToIt) {
    OldEntryAfterCopyFacts facts = BaseAfterCopy(false);
    EXPECT_TRUE(NeedsRowOfOldEntry(facts));
    EXPECT_TRUE(NeedsRowPlaceOfOldEntryAfterCopy(facts));
    facts.moving = true;
    EXPECT_FALSE(NeedsRowPlaceOfOldEntryAfterCopy(facts)) << "moving decides";
    facts = BaseAfterCopy(false);
    NoRowAfterCopy(facts);
    EXPECT_FALSE(NeedsRowPlaceOfOldEntryAfterCopy(facts)) << "no row, no place";
    facts = BaseAfterCopy(false);
    facts.copied = true;
    EXPECT_FALSE(NeedsRowOfOldEntry(facts));
    facts = BaseAfterCopy(false);
    facts.replaced = true;
    EXPECT_FALSE(NeedsRowOfOldEntry(facts));
}

}  // namespace
