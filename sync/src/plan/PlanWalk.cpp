// The full walk's rules on one folder or one item: whether a folder may be
// walked, the refused walk, a file against the drive's entry of its name,
// names that differ only in letter case, and moves that form a loop.
#include <cstring>
#include <cwchar>

#include "BrelioServices/RestFrame.h"
#include "BrelioSync/ChangeCodes.h"
#include "BrelioSync/FileTimes.h"
#include "BrelioSync/RemoteLookups.h"
#include "BrelioSync/WalkPlan.h"

WalkStart JudgeWalkStart(const WalkStartFacts& facts) {
    if (!facts.missingOrEmpty) return WalkStart::Walk;
    // A folder the drive no longer has leaves nothing there to take for
    // deleted; the walk tells the user about it as before.
    if (facts.listed == API_E_ITEM_NOT_FOUND) return WalkStart::Walk;
    if (FAILED(facts.listed)) return WalkStart::ListingFailed;
    // A folder that was deleted, unplugged or recreated empty is not a user
    // who deleted everything.
    return facts.recorded ? WalkStart::Refuse : WalkStart::Walk;
}

bool IsMissingItemDeleted(bool walkRefused, const ChangeRecord* current) {
    // A folder lost or made anew empty is no user who deleted everything:
    // while that stands, only a removal the monitor saw is a deletion.
    if (!walkRefused) return true;
    return current != nullptr && current->action == CHANGE_ACTION_REMOVED;
}

uint32_t CompareFileWithEntry(const CompareFacts& facts, uint64_t& storedRevision, uint64_t& storedFileId) {
    if (FAILED(facts.rowFound)) return CHANGE_NONE;
    if (facts.rowFound == S_FALSE) return CHANGE_NO_STORAGE_ROW;
    const FileRecord& row = facts.row;
    const FileInfo& entry = facts.entry;
    // Its content was to come again: whatever is here now meets it as a
    // conflict, so that nothing is lost.
    if (row.status == FILE_STATUS_RETRANSFER) return CHANGE_MODIFIED_BOTH;
    uint32_t code = CHANGE_NONE;
    const FILETIME stored = TicksToFileTime(row.last_write_time);
    if (row.status == FILE_STATUS_CHANGED || ::CompareFileTime(&stored, &facts.localWrite) != 0 ||
        facts.localSize != row.size) {
        code = CHANGE_MODIFIED_LOCAL;
        storedRevision = row.revision;
    }
    if (_stricmp(row.hash.c_str(), entry.hash.c_str()) != 0 || entry.revision != row.revision)
        code |= CHANGE_MODIFIED_REMOTE;
    // The name holds another drive item here than the row's.
    if (row.file_id != entry.id) {
        storedFileId = row.file_id;
        code = CHANGE_MODIFIED_BOTH;
    }
    // While a refused walk stands, a file here that differs from its row
    // may not be the item the row recorded (the folder was lost and filled
    // anew): it does not replace the drive's content, both stay.
    if (facts.walkRefused && (code & CHANGE_MODIFIED_LOCAL) != 0) code = CHANGE_MODIFIED_BOTH;
    return code;
}

size_t EntryOfLocalItem(const FileInfoList& listing, const wchar_t* name, bool isFolder, uint64_t rowId) {
    // The item that holds the name here keeps it: the one whose row it
    // has, else the first one met.
    const auto sameKindAndName = [&](const FileInfo& entry) {
        return (!IsFileType(entry.type.c_str())) == isFolder && _wcsicmp(entry.name.c_str(), name) == 0;
    };
    if (rowId != 0)
        for (size_t i = 0; i < listing.size(); ++i)
            if (listing[i].id == rowId && sameKindAndName(listing[i])) return i;
    for (size_t i = 0; i < listing.size(); ++i)
        if (sameKindAndName(listing[i])) return i;
    return listing.size();
}

std::vector<std::wstring> FoldersAbove(const std::wstring& fullPath, size_t rootLength) {
    std::vector<std::wstring> folders;
    std::wstring above = fullPath;
    for (;;) {
        const size_t slash = above.find_last_of(L'\\');
        if (slash == std::wstring::npos || slash <= rootLength) return folders;
        above.resize(slash);
        folders.push_back(above);
    }
}

bool ClosesMoveLoop(const ChangeInfo& onTheWay, const std::wstring& folderName) {
    return onTheWay.changeType != "deleted" && IsSameOrBelow(RemotePathToRowName(onTheWay.file.path), folderName);
}
