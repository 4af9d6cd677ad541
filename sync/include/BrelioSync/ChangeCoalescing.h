#pragma once
#include "BrelioServices/StorageRecords.h"

// Folds the local change rows of one pass: a change of the same item
// right after another becomes one change where the pair means one thing
// (added then removed is a removal, removed then added a modification).
ChangeRecordList CoalesceLocalChanges(ChangeRecordList& changes);
bool CanMergeChanges(const ChangeRecord& tail, const ChangeRecord& next, int32_t& mergedAction);
