#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

#include "BrelioCore/JXThread.h"
#include "BrelioServices/ApiRecords.h"
#include "BrelioServices/LocalStorage.h"
#include "BrelioServices/StorageRecords.h"
#include "BrelioServices/SyncFolderList.h"

class CSyncManager;

// What a sync pass works on, taken from the settings and the application
// object when the thread starts.
struct SyncEnvironment {
    std::wstring syncRoot;
    std::wstring databasePath;
    CNamedMutex* storageMutex = nullptr;
    HANDLE stopEvent = nullptr;
    CSyncManager* syncManager = nullptr;
    const CSyncFolderList* selectedFolders = nullptr;
};

// The worker that brings the sync folder and the drive into agreement:
// the full-sync walk and the file actions it and the reconciliation use.
class CFileSyncThread : public CJXThread {
public:
    CFileSyncThread() = default;
    ~CFileSyncThread() override = default;

    // Takes the environment for the next passes and clears stop seen.
    void Configure(const SyncEnvironment& environment);
    // The environment of the application object: its settings, storage
    // mutex and stop event, and the given manager.
    static SyncEnvironment EnvironmentFromApp(CSyncManager* manager);
    const SyncEnvironment& GetEnvironment() const { return m_env; }
    bool IsStopSeen() const { return m_stopSeen; }

    // The walk of a full sync over the whole sync folder or each selected
    // folder. Refuses to start, deleting nothing, when the sync folder is
    // missing or holds nothing while the drive has items recorded in sync.
    HRESULT FullSyncWalk();

    // Full sync of one folder against the remote listing of folder id (0 is
    // the drive root).
    HRESULT FullSyncFolder(const wchar_t* folderPath, uint64_t folderId);
    // 0 when the selected folder is ready for its walk, 1 to skip it,
    // E_FAIL when its metadata could not be fetched.
    HRESULT SyncSelectedFolder(const wchar_t* relativePath, uint64_t folderId);
    uint32_t CompareWithRemote(const wchar_t* path, const WIN32_FIND_DATAW& data, const FileInfo& entry,
                               uint64_t& storedRevision, uint64_t& storedFileId);
    // The first entry of that kind whose name equals the name, letter case
    // aside; end() when none.
    static FileInfoList::iterator FindRemoteEntry(FileInfoList& listing, const wchar_t* name, bool isFolder);

    // File actions. Each reports its result as a sync item and logs it.
    HRESULT UploadFile(uint64_t targetId, const wchar_t* path, uint64_t latestRevision, bool isNew, bool byName);
    HRESULT UploadChangedFile(uint64_t fileId, const wchar_t* path);
    HRESULT Download(const FileInfo& info, const wchar_t* path, bool insert, bool byName);
    HRESULT DownloadById(uint64_t fileId, const wchar_t* path, bool insert);
    HRESULT CreateLocalFolder(const FileInfo& info, const wchar_t* path, bool recurse);
    HRESULT DeleteLocalFolder(const wchar_t* path);
    HRESULT DeleteLocalFile(const wchar_t* path);
    HRESULT DeleteLocalById(uint64_t fileId);
    HRESULT DeleteRemote(uint64_t fileId, const wchar_t* relativeName, bool isFolder);
    HRESULT DeleteRemoteEntry(const FileInfo& info, const wchar_t* relativeName);
    HRESULT RenameRemote(uint64_t fileId, const wchar_t* newRelativeName, const wchar_t* oldRelativeName);
    HRESULT MoveLocal(uint64_t fileId, const wchar_t* newRelativePath, const std::string& hash, uint64_t revision);
    HRESULT CreateRemoteFolderForPath(const wchar_t* path, uint64_t& folderId);
    HRESULT CreateRemoteFolder(uint64_t parentId, const wchar_t* path, const WIN32_FIND_DATAW& data,
                               uint64_t& folderId);
    HRESULT MakeConflictCopy(const wchar_t* path, std::wstring& copyPath);

protected:
    // True once the stop event has been seen in this pass.
    bool CheckStop();
    CLocalStorage Storage() const;
    std::wstring RootJoin(const std::wstring& relative) const;
    const wchar_t* Relative(const wchar_t* fullPath) const;

private:
    // The full-sync decisions for one local item or one leftover remote
    // entry, each in its own file.
    HRESULT SyncLocalFolder(const wchar_t* path, const WIN32_FIND_DATAW& data, uint64_t folderId,
                            FileInfoList& listing);
    HRESULT SyncLocalFile(const wchar_t* path, const WIN32_FIND_DATAW& data, uint64_t folderId,
                          FileInfoList& listing);
    HRESULT SyncRemoteLeftover(const wchar_t* folderPath, const FileInfo& entry);
    // Deletions only after the other side is seen unchanged since the row.
    HRESULT DeleteLocalFileChecked(const wchar_t* path, const WIN32_FIND_DATAW& data, uint64_t folderId);
    HRESULT DeleteLocalFolderChecked(const wchar_t* path, const WIN32_FIND_DATAW& data, uint64_t folderId);
    HRESULT RemoveRemoteLeftover(const wchar_t* path, const FileInfo& entry, const FileRecord& row);
    // A rename in the change table that involves the item, not yet sent.
    bool IsRenamePending(uint64_t fileId, const wchar_t* relativeName);
    bool HasLocalChangesBelow(const wchar_t* folderPath);
    // Logs why the item waits; a failure also becomes a failed item.
    HRESULT ReportSkipped(const wchar_t* path, bool isFolder, HRESULT reason, const wchar_t* why);

    SyncEnvironment m_env;
    bool m_stopSeen = false;
};
