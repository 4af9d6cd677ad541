#include "BrelioSync/RemoteLookups.h"

#include <cwchar>

namespace {

// Where the last name of a row name begins.
size_t LeafStart(const std::wstring& name) {
    const size_t slash = name.find_last_of(L'\\');
    return slash == std::wstring::npos ? 0 : slash + 1;
}

}  // namespace

std::wstring RemotePathToRowName(const std::wstring& remotePath) {
    size_t end = remotePath.size();
    while (end > 0 && remotePath[end - 1] == L'/') --end;
    size_t begin = 0;
    while (begin < end && remotePath[begin] == L'/') ++begin;
    std::wstring name = remotePath.substr(begin, end - begin);
    for (wchar_t& c : name)
        if (c == L'/') c = L'\\';
    return name;
}

bool IsSameOrBelow(const std::wstring& name, const std::wstring& folder) {
    if (folder.empty() || name.size() < folder.size()) return false;
    if (_wcsnicmp(name.c_str(), folder.c_str(), folder.size()) != 0) return false;
    return name.size() == folder.size() || name[folder.size()] == L'\\';
}

ChangeInfo* FindRemoteChange(ChangeInfoList& remoteChanges, const ChangeRecord& record) {
    for (ChangeInfo& change : remoteChanges) {
        if (record.file_id != 0 && change.file.id == record.file_id) return &change;
        // An item known by its id is never another drive item of its name:
        // the drive may hold two whose names differ only in letter case.
        if (record.file_id != 0) continue;
        const bool isFolder = !IsFileType(change.file.type.c_str());
        if (isFolder == record.is_folder &&
            _wcsicmp(RemotePathToRowName(change.file.path).c_str(), record.name.c_str()) == 0)
            return &change;
    }
    return nullptr;
}

void RemoveRemoteChange(ChangeInfoList& remoteChanges, const ChangeInfo* change) {
    for (auto it = remoteChanges.begin(); it != remoteChanges.end(); ++it) {
        if (&*it == change) {
            remoteChanges.erase(it);
            return;
        }
    }
}

uint64_t GetPrivateDriveLatestRevision(const DriveInfoList& drives) {
    for (const DriveInfo& drive : drives)
        if (IsPrivateDrive(drive.type.c_str())) return drive.latestRevision;
    return 0;
}

bool IsSameSpelledPlace(const std::wstring& a, const std::wstring& b) {
    return _wcsicmp(a.c_str(), b.c_str()) == 0 && a.compare(LeafStart(a), std::wstring::npos, b, LeafStart(b)) == 0;
}

bool DiffersOnlyInLetterCase(const std::wstring& a, const std::wstring& b) {
    return _wcsicmp(a.c_str(), b.c_str()) == 0 && !IsSameSpelledPlace(a, b);
}
