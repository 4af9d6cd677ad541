// The reconciliation of one partial sync: local change records first, then
// the remote changes they left.
#include <shlwapi.h>

#include <cwchar>

#include "BrelioServices/DriveApi.h"
#include "BrelioServices/Log.h"
#include "BrelioServices/RelativePath.h"
#include "BrelioSync/ChangeCodes.h"
#include "BrelioSync/FileSyncThread.h"
#include "BrelioSync/LocalChangePlan.h"
#include "BrelioSync/LocalName.h"
#include "BrelioSync/RemoteChangePlan.h"
#include "BrelioSync/RemoteLookups.h"
#include "BrelioSync/SyncManager.h"

namespace {

bool IsDeleted(const ChangeInfo& change) { return change.changeType == "deleted"; }

}  // namespace

bool CFileSyncThread::IsSelected(const wchar_t* relativeName) const {
    const CSyncFolderList* selected = m_env.selectedFolders;
    if (selected == nullptr || selected->IsEmpty()) return true;
    return relativeName != nullptr && selected->ContainsPathPrefix(relativeName);
}

HRESULT CFileSyncThread::Reconcile(ChangeRecordList& localChanges, ChangeInfoList& remoteChanges,
                                   ReconcileOutcome& outcome) {
    HRESULT result = S_OK;
    PassContext pass;
    pass.remoteChanges = &remoteChanges;
    // The walks the actions run see the pass, until it ends.
    struct PassScope {
        PassContext*& slot;
        ~PassScope() { slot = nullptr; }
    } scope{m_pass};
    m_pass = &pass;
    size_t next = 0;
    for (; next < localChanges.size(); ++next) {
        if (CheckStop()) break;
        const ChangeRecord& record = localChanges[next];
        if (!IsSelected(record.name.c_str())) {
            SettleLocalChange(record);
            continue;
        }
        ChangeInfo* matched = nullptr;
        const uint32_t code = ClassifyLocalChange(record, remoteChanges, matched);
        LogChangeCode(code, record.name.c_str());
        pass.currentRecord = &record;
        result = ActOnLocalChange(code, record, matched, pass);
        pass.currentRecord = nullptr;
        if (FAILED(result)) {
            // The record stays in the change table for the next pass.
            ++outcome.unsettledLocalCount;
            if (matched != nullptr) outcome.MarkUnsettled(*matched);
        } else {
            SettleLocalChange(record);
        }
        if (matched != nullptr) RemoveRemoteChange(remoteChanges, matched);
    }
    pass.remoteChanges = nullptr;
    if (CheckStop()) {
        // Nothing of what is left ran: all of it waits for the next pass
        // (the local records are still in the change table).
        outcome.unsettledLocalCount += localChanges.size() - next;
        for (const ChangeInfo& change : remoteChanges) outcome.MarkUnsettled(change);
        return S_OK;
    }

    // A change whose item waits for a folder that a later change brings
    // (the drive lists each item at its place now, and a folder renamed
    // after an item moved into it comes later) goes once more at the end.
    std::vector<size_t> waiting;
    bool retrying = false;
    for (size_t step = 0; step < remoteChanges.size() + waiting.size(); ++step) {
        if (step == remoteChanges.size()) retrying = true;
        const size_t index = retrying ? waiting[step - remoteChanges.size()] : step;
        const ChangeInfo& change = remoteChanges[index];
        if (CheckStop()) {
            for (size_t left = retrying ? remoteChanges.size() : index; left < remoteChanges.size(); ++left)
                outcome.MarkUnsettled(remoteChanges[left]);
            for (const size_t left : waiting) outcome.MarkUnsettled(remoteChanges[left]);
            return S_OK;
        }
        // An item replaced by a new one at the place the local user moved
        // it to: what changed there came along before the old one went.
        if (pass.replacedIds.count(change.file.id)) continue;
        const std::wstring relative = RemotePathToRowName(change.file.path);
        std::wstring fullPath;
        if (!IsDeleted(change)) {
            const HRESULT joined = JoinRemoteRelativePath(m_env.syncRoot.c_str(), relative, fullPath);
            if (FAILED(joined)) {
                // A name this folder cannot hold never becomes holdable by
                // asking again: it is reported, not retried.
                Log(L"%s - refused remote path(0x%x).", relative.c_str(), static_cast<unsigned>(joined));
                NotifyResult(relative.c_str(), !IsFileType(change.file.type.c_str()), joined);
                continue;
            }
        } else if (!JoinName(m_env.syncRoot.c_str(), relative, fullPath)) {
            // Only to name the item in the log: a deleted item without a row
            // has no local path of its own, and its name is never used
            // to touch the folder.
            fullPath = relative;
        }
        const uint32_t code = ClassifyRemoteChange(fullPath, change);
        if (!IsSelected(Relative(fullPath.c_str()))) continue;
        result = ActOnRemoteChange(code, change, fullPath, pass);
        if (result == HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND) && !retrying) {
            waiting.push_back(index);
            continue;
        }
        if (FAILED(result)) outcome.MarkUnsettled(change);
    }
    return result;
}

void CFileSyncThread::SettleLocalChange(const ChangeRecord& record) {
    const HRESULT deleted = Storage().DeleteChanges(record.row_ids);
    // Left in the table, the record is carried out once more next pass;
    // every local action finds its work already done then.
    if (FAILED(deleted)) Log(L"%s - change kept for the next sync(0x%x).", record.name.c_str(), static_cast<unsigned>(deleted));
}

HRESULT CFileSyncThread::ActOnLocalChange(uint32_t code, const ChangeRecord& record, ChangeInfo*& matched,
                                          PassContext& pass) {
    // What the decision for the code looks at, read before deciding.
    LocalChangeFacts facts;
    facts.root = m_env.syncRoot;
    facts.code = code;
    facts.record = record;
    facts.matched = matched;
    facts.fullPath = RootJoin(record.name);
    if (!facts.fullPath.empty()) {
        facts.exists = ::PathFileExistsW(facts.fullPath.c_str()) != FALSE;
        facts.oldFullPath = RootJoin(record.old_name);
        CLocalStorage storage = Storage();
        switch (code) {
            case CHANGE_MODIFIED_BOTH:
                if (facts.exists) facts.matchedRowFound = storage.GetFile(matched->file.id, facts.matchedRow);
                break;
            case CHANGE_REMOVED_LOCAL: {
                if (record.file_id == 0) break;
                facts.renamedLater = IsRenamedLater(record.file_id, pass);
                int status = FILE_STATUS_NONE;
                facts.retransfer = !record.is_folder && SUCCEEDED(storage.GetFileStatus(record.file_id, status)) &&
                                   status == FILE_STATUS_RETRANSFER;
                for (const auto& [path, fileId] : pass.renames) {
                    if (fileId != record.file_id) continue;
                    facts.renamedAwayPath = path;
                    facts.renamedAwayExists = ::PathFileExistsW(path.c_str()) != FALSE;
                    break;
                }
                break;
            }
            case CHANGE_RENAMED_LOCAL:
                if (!facts.exists) break;
                if (record.file_id != 0) {
                    facts.statusRead = SUCCEEDED(storage.GetFileStatus(record.file_id, facts.status));
                } else {
                    const auto renamed = pass.renames.find(facts.fullPath);
                    if (renamed != pass.renames.end()) facts.renamedAwayHereId = renamed->second;
                }
                break;
            default:
                break;
        }
    }
    pass.remoteChangeLeft = false;
    const HRESULT result = ExecutePlan(PlanLocalChange(facts), pass);
    if (pass.remoteChangeLeft) matched = nullptr;
    return result;
}

HRESULT CFileSyncThread::ActOnRemoteChange(uint32_t code, const ChangeInfo& change, const std::wstring& fullPath,
                                           PassContext& pass) {
    // What the decision for the code looks at, read before deciding.
    RemoteActFacts facts;
    facts.root = m_env.syncRoot;
    facts.code = code;
    facts.change = change;
    facts.fullPath = fullPath;
    const FileInfo& remote = change.file;
    if (code == CHANGE_MODIFIED_BOTH) {
        int status = FILE_STATUS_NONE;
        facts.hasRow = SUCCEEDED(Storage().GetFileStatus(remote.id, status)) && status != FILE_STATUS_NONE;
    } else if (code == CHANGE_MOVED_REMOTE || code == CHANGE_MOVED_BOTH) {
        facts.rowFound = Storage().GetFile(remote.id, facts.row);
        if (NeedsDriveStateNow(facts)) {
            RequestStatus status;
            facts.metaResult = GetFileMeta(status, remote.id, facts.now);
        }
    }
    return ExecutePlan(PlanRemoteChange(facts), pass);
}

HRESULT CFileSyncThread::ResolveBothModified(const FileInfo& remote, const wchar_t* fullPath, bool insert) {
    HRESULT hr = RecordIfSameContent(remote, fullPath);
    if (hr != S_FALSE) return hr;
    std::wstring copyPath;
    hr = KeepConflictCopy(fullPath, copyPath);
    if (FAILED(hr)) {
        Log(L"%s - failed to make a conflict copy(0x%x).", fullPath, static_cast<unsigned>(hr));
        NotifyResult(fullPath, false, hr);
        return hr;
    }
    hr = Download(remote, fullPath, RowWriteOf(insert));
    if (FAILED(hr)) return hr;
    return UploadChangedFile(0, copyPath.c_str());
}
