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
    if (Storage().GetFile(path, row) == S_OK) {
        for (auto it = first; it != listing.end(); ++it)
            if (it->id == row.file_id && sameName(*it)) return it;
    }
    return first;
}

bool CFileSyncThread::IsNameTakenFrom(const wchar_t* path, const FileInfo& remote) {
    const DWORD attributes = ::GetFileAttributesW(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    FileRecord row;
    if (Storage().GetFile(path, row) == S_OK) return row.file_id != remote.id;
    // A local item without a row of the same kind meets the drive's item
    // as a conflict of contents; one of the other kind cannot meet it.
    const bool localFolder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    return localFolder == IsFileType(remote.type.c_str());
}

HRESULT CFileSyncThread::RefuseTakenName(const wchar_t* path, bool isFolder) {
    return ReportSkipped(path, isFolder, HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS),
                         L"another item has the same name but for letter case");
}
