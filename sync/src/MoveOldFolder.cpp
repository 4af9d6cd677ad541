// The old folder of a move sent as a copy, once the copy stands: it goes to
// the trash only when nothing in it is held nowhere else. What the drive
// added to it meanwhile comes along into the copy first; what it holds that
// lives on only there (the copy itself, when the drive moved the new place
// inside it; an item the drive moved in that stands elsewhere here) stays,
// and so do the folders around it, while the rest goes to the trash.
#include <shlwapi.h>

#include <cstring>

#include "BrelioServices/DriveApi.h"
#include "BrelioServices/Log.h"
#include "BrelioSync/FileSyncThread.h"
#include "BrelioSync/MoveByCopyPlan.h"
#include "BrelioSync/RemoteLookups.h"

// What of an old folder on the drive is elsewhere by now.
struct OldFolderContent {
    uint64_t folderId = 0;
    // Everything in it is elsewhere: the folder may go whole.
    bool whole = true;
    // The drive added something to it that is not here yet.
    bool holdsNew = false;
    // It holds the old item of another move sent as a copy, not finished.
    bool holdsMoving = false;
    // Items that go to the trash whole, and folders of which only some
    // items do.
    std::vector<FileInfo> away;
    std::vector<OldFolderContent> partly;
};

namespace {

// Copies of the same content, or an old item left as it was before its
// copy went up (the copy is the newer item).
bool IsCopyOf(const FileInfo& old, const FileInfo& copy) {
    return _stricmp(old.hash.c_str(), copy.hash.c_str()) == 0 || old.revision < copy.revision;
}

// A tree as deep as the path limit allows, and no deeper.
constexpr int kMaxDepth = 130;

}  // namespace

HRESULT CFileSyncThread::JudgeOldFolder(uint64_t oldFolderId, uint64_t copyFolderId, OldFolderContent& content,
                                        int depth, const PassContext& pass) {
    content.folderId = oldFolderId;
    if (depth > kMaxDepth) return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
    RequestStatus status;
    FileInfoList listing;
    HRESULT hr = GetFiles(status, oldFolderId, listing, false);
    if (FAILED(hr)) return hr;
    // What of the copy stands, read only when an item is not known as
    // copied in this pass (a copy made by a run cut short).
    FileInfoList copied;
    bool copiedRead = copyFolderId == 0;
    for (const FileInfo& entry : listing) {
        OldEntryAfterCopyFacts facts;
        facts.entry = entry;
        facts.isFolder = !IsFileType(entry.type.c_str());
        const bool isFolder = facts.isFolder;
        facts.replaced = pass.replacedIds.count(entry.id) != 0;
        const FileInfo* counterpart = nullptr;
        if (!facts.replaced) {
            if (!copiedRead) {
                hr = GetFiles(status, copyFolderId, copied, false);
                if (FAILED(hr)) return hr;
                copiedRead = true;
            }
            const auto found = FindRemoteEntry(copied, entry.name.c_str(), isFolder);
            if (found != copied.end() && (isFolder || IsCopyOf(entry, *found))) counterpart = &*found;
            facts.copied = counterpart != nullptr;
            facts.nameInCopy = found != copied.end();
        }
        if (NeedsRowOfOldEntry(facts)) {
            facts.rowFound = Storage().GetFile(entry.id, facts.row);
            if (FAILED(facts.rowFound)) return facts.rowFound;
            facts.moving = pass.movingIds.count(entry.id) != 0;
            if (!facts.moving && facts.rowFound == S_FALSE) facts.renamePending = IsRenamePending(entry.id, nullptr);
        }
        if (NeedsRowPlaceOfOldEntryAfterCopy(facts)) {
            facts.rowPlaceExists = ::PathFileExistsW(RootJoin(facts.row.name).c_str()) != FALSE;
            if (facts.rowPlaceExists) facts.placeChangePending = IsPlaceChangePending(entry.id);
        }
        const OldEntryVerdict verdict = JudgeOldEntryAfterCopy(facts);
        if (verdict == OldEntryVerdict::Away && isFolder) {
            OldFolderContent inner;
            hr = JudgeOldFolder(entry.id, counterpart != nullptr ? counterpart->id : 0, inner, depth + 1, pass);
            if (FAILED(hr)) return hr;
            if (!inner.whole) {
                content.whole = false;
                content.holdsNew = content.holdsNew || inner.holdsNew;
                content.holdsMoving = content.holdsMoving || inner.holdsMoving;
                content.partly.push_back(std::move(inner));
                continue;
            }
        }
        switch (verdict) {
            case OldEntryVerdict::Away: content.away.push_back(entry); break;
            case OldEntryVerdict::New: content.holdsNew = true; content.whole = false; break;
            case OldEntryVerdict::Moving: content.holdsMoving = true; content.whole = false; break;
            case OldEntryVerdict::Kept: content.whole = false; break;
        }
    }
    return S_OK;
}

HRESULT CFileSyncThread::TrashMovedParts(const OldFolderContent& content) {
    HRESULT result = S_OK;
    for (const FileInfo& entry : content.away) {
        // Rows are left alone: an item moved elsewhere here keeps its own,
        // and its own change settles it.
        RequestStatus status;
        HRESULT hr = TrashFile(status, entry.id);
        if (hr == API_E_ITEM_NOT_FOUND) hr = S_OK;
        const std::wstring name = RemotePathToRowName(entry.path);
        if (FAILED(hr)) {
            Log(L"%s(remote) - failed to delete(0x%x).", name.c_str(), static_cast<unsigned>(hr));
            result = hr;
        } else {
            Log(L"%s(remote) - deleted, it stands elsewhere now.", name.c_str());
        }
    }
    for (const OldFolderContent& inner : content.partly) {
        const HRESULT hr = TrashMovedParts(inner);
        if (FAILED(hr)) result = hr;
    }
    return result;
}

HRESULT CFileSyncThread::TrashOldFolder(uint64_t oldId, const wchar_t* oldRelativeName, const wchar_t* fullPath,
                                        uint64_t parentId, PassContext& pass) {
    // What the drive adds to the old folder while it is copied comes along
    // on a second look, and a third; more, and the next pass takes it up.
    constexpr int kCopyRounds = 3;
    OldFolderContent content;
    for (int round = 1;; ++round) {
        FileRecord copy;
        HRESULT hr = Storage().GetFile(fullPath, copy);
        if (hr != S_OK) return FAILED(hr) ? hr : E_FAIL;
        content = OldFolderContent();
        hr = JudgeOldFolder(oldId, copy.file_id, content, 0, pass);
        if (FAILED(hr)) return ReportSkipped(fullPath, true, hr, L"old folder not looked at");
        if (!content.holdsNew || round == kCopyRounds) break;
        hr = CopyFolderUp(fullPath, parentId, oldId, pass);
        if (FAILED(hr)) return hr;
    }
    if (content.whole) return DeleteRemote(oldId, oldRelativeName, true);
    Log(L"%s(remote) - kept: it holds items that are nowhere else yet.", oldRelativeName);
    const HRESULT trashed = TrashMovedParts(content);
    if (FAILED(trashed)) return trashed;
    // Something the drive added is still only there, or another move out
    // of it is not finished: the move stays recorded, and a later pass
    // copies it along or trashes what is left once that move is done.
    if (content.holdsNew)
        return ReportSkipped(fullPath, true, HRESULT_FROM_WIN32(ERROR_RETRY), L"the drive still adds to the old folder");
    if (content.holdsMoving)
        return ReportSkipped(fullPath, true, HRESULT_FROM_WIN32(ERROR_RETRY), L"the old folder holds another move under way");
    return S_OK;
}
