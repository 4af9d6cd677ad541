#include "BrelioSync/RemoteLookups.h"

#include <cwchar>

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
