// The rule of this overlay library, from the statuses the sync engine keeps
// in the file table of the local database:
//
//   overlay 1 (in sync)             the highest status is 1 (synced)
//   overlay 2 (waiting to transfer) the highest status is 2 (changed here,
//                                   not yet uploaded) or 6 (to be
//                                   transferred again)
//   overlay 3 (failed)              the highest status is 7 (failed here)
//   no overlay                      the item has no row (new, not yet seen
//                                   by the engine, or outside the selection)
//
// "The highest status" is the item's own for a file; a folder also takes
// the rows beneath it, so a folder shows the worst state of its contents.
// The statuses are ordered by how much they need the user's attention:
// 1 < 2 < 6 < 7.
#include "OverlayRule.h"

#include "BrelioServices/StorageRecords.h"

int OverlayForStatus(int highestStatus) {
    switch (highestStatus) {
    case FILE_STATUS_SYNCED: return 1;
    case FILE_STATUS_CHANGED:
    case FILE_STATUS_RETRANSFER: return 2;
    case FILE_STATUS_LOCAL_FAILED: return 3;
    default: return 0;
    }
}
