// A drive may hold two items in one folder whose names differ only in
// letter case; a local folder holds one item under such a name. The full
// walk and the partial pass settle this by one rule: the item that holds
// the name here keeps it (the one whose row has that name, else the first
// one met), and any other drive item of that name is refused: reported,
// and nothing is written for it on either side, no conflict copy made and
// no content taken over the other item's.
#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <iterator>

#include "BrelioSync/FileSyncThread.h"
#include "BrelioSync/RemoteChangePlan.h"
#include "BrelioSync/SyncAction.h"
#include "BrelioSync/WalkPlan.h"

FileInfoList::iterator CFileSyncThread::FindEntryOfLocalItem(FileInfoList& listing, const wchar_t* path,
                                                            const wchar_t* name, bool isFolder) {
    const auto first = FindRemoteEntry(listing, name, isFolder);
    if (first == listing.end()) return first;
    const auto sameName = [&](const FileInfo& entry) {
        return (!IsFileType(entry.type.c_str())) == isFolder && _wcsicmp(entry.name.c_str(), name) == 0;
    };
    // Only twins need the row to tell which of them holds the name here.
    if (std::find_if(std::next(first), listing.end(), sameName) == listing.end()) return first;
    FileRecord row;
    const uint64_t rowId = Storage().GetFile(path, row) == S_OK ? row.file_id : 0;
    return listing.begin() + static_cast<std::ptrdiff_t>(EntryOfLocalItem(listing, name, isFolder, rowId));
}

bool CFileSyncThread::IsNameTakenFrom(const wchar_t* path, const FileInfo& remote) {
    LocalNameFacts local;
    const DWORD attributes = ::GetFileAttributesW(path);
    local.present = attributes != INVALID_FILE_ATTRIBUTES;
    if (!local.present) return false;
    local.isFolder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    FileRecord row;
    local.rowFound = Storage().GetFile(path, row) == S_OK ? S_OK : S_FALSE;
    local.rowId = row.file_id;
    return IsNameTaken(local, remote);
}

HRESULT CFileSyncThread::RefuseTakenName(const wchar_t* path, bool isFolder) {
    ActionPlan plan;
    AddTakenNameRefusal(plan, path, isFolder);
    PassContext none;
    return ExecutePlan(plan, none);
}
