#include <cstring>
#include <cwchar>

#include "BrelioSync/ChangeCodes.h"
#include "BrelioSync/FileSyncThread.h"
#include "BrelioSync/FileTimes.h"
#include "BrelioSync/WalkPlan.h"

uint32_t CFileSyncThread::CompareWithRemote(const wchar_t* path, const WIN32_FIND_DATAW& data, const FileInfo& entry,
                                            uint64_t& storedRevision, uint64_t& storedFileId) {
    CompareFacts facts;
    facts.rowFound = Storage().GetFile(path, facts.row);
    facts.localWrite = data.ftLastWriteTime;
    facts.localSize = FindDataSize(data);
    facts.entry = entry;
    facts.walkRefused = m_walkRefused;
    const uint32_t code = CompareFileWithEntry(facts, storedRevision, storedFileId);
    if (SUCCEEDED(facts.rowFound)) LogChangeCode(code, path);
    return code;
}

FileInfoList::iterator CFileSyncThread::FindRemoteEntry(FileInfoList& listing, const wchar_t* name, bool isFolder) {
    for (auto it = listing.begin(); it != listing.end(); ++it) {
        if ((!IsFileType(it->type.c_str())) == isFolder && _wcsicmp(it->name.c_str(), name) == 0) return it;
    }
    return listing.end();
}
