#pragma once
#include <cstdint>
#include <string>

#include "BrelioServices/ApiRecords.h"
#include "BrelioServices/StorageRecords.h"

// The remote change of the same item as a local change record: the same
// id, or, for a record without an id, the same kind at the same path
// (letter case aside). Null when there is none.
ChangeInfo* FindRemoteChange(ChangeInfoList& remoteChanges, const ChangeRecord& record);
// Takes a change found in the list out of it.
void RemoveRemoteChange(ChangeInfoList& remoteChanges, const ChangeInfo* change);
// The latest revision of the user's private drive; 0 when there is none.
uint64_t GetPrivateDriveLatestRevision(const DriveInfoList& drives);
// A remote path ("/a/b/", forward slashes) as a row name ("a\b").
std::wstring RemotePathToRowName(const std::wstring& remotePath);
// The row name equals the folder's or lies below it, letter case aside; an
// empty folder holds nothing.
bool IsSameOrBelow(const std::wstring& name, const std::wstring& folder);
// Two row names of one place spelled alike: the same folder, letter case
// aside, and the same last name exactly. A last name that differs only in
// letter case is a rename still to be made on the other side.
bool IsSameSpelledPlace(const std::wstring& a, const std::wstring& b);
// The two row names differ, but only in the letter case of the last name.
bool DiffersOnlyInLetterCase(const std::wstring& a, const std::wstring& b);
