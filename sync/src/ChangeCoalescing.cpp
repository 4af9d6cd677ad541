#include "BrelioSync/ChangeCoalescing.h"

#include <cwchar>
#include <utility>

bool CanMergeChanges(const ChangeRecord& tail, const ChangeRecord& next, int32_t& mergedAction) {
    if (_wcsicmp(tail.name.c_str(), next.name.c_str()) != 0 || tail.is_folder != next.is_folder) return false;
    if (tail.file_id != 0 && next.file_id != tail.file_id) return false;
    switch (tail.action) {
    case CHANGE_ACTION_ADDED:
        if (next.action == CHANGE_ACTION_REMOVED || next.action == CHANGE_ACTION_MODIFIED) {
            mergedAction = next.action;
            return true;
        }
        return false;
    case CHANGE_ACTION_REMOVED:
        mergedAction = CHANGE_ACTION_MODIFIED;
        return true;
    case CHANGE_ACTION_MODIFIED:
        if (next.action != CHANGE_ACTION_MODIFIED) return false;
        mergedAction = CHANGE_ACTION_MODIFIED;
        return true;
    default:
        return false;
    }
}

ChangeRecordList CoalesceLocalChanges(ChangeRecordList& changes) {
    ChangeRecordList coalesced;
    for (ChangeRecord& change : changes) {
        int32_t merged = 0;
        if (!coalesced.empty() && CanMergeChanges(coalesced.back(), change, merged)) {
            ChangeRecord& tail = coalesced.back();
            tail.action = merged;
            if (tail.file_id == 0) tail.file_id = change.file_id;
            tail.row_ids.insert(tail.row_ids.end(), change.row_ids.begin(), change.row_ids.end());
            continue;
        }
        coalesced.push_back(std::move(change));
    }
    changes.clear();
    return coalesced;
}
