#include <shlwapi.h>

#include "BrelioCore/UniqueHandle.h"
#include "BrelioCore/WideFormat.h"
#include "BrelioServices/FileOperations.h"
#include "BrelioServices/Log.h"
#include "BrelioSync/EngineStringIds.h"
#include "BrelioSync/FileSyncThread.h"
#include "BrelioSync/FileTimes.h"
#include "BrelioSync/IgnoreScope.h"
#include "BrelioSync/LocalFileState.h"
#include "BrelioSync/LocalName.h"
#include "BrelioSync/RemoteLookups.h"
#include "BrelioSync/SyncManager.h"

namespace {
constexpr int kLocalRetries = 4;
}

HRESULT CFileSyncThread::MakeLocalFolder(const FileInfo& info, const wchar_t* path) {
    HRESULT hr;
    {
        CIgnoreScope scope(m_env.syncManager->GetIgnoreList(), m_env.syncRoot.c_str());
        scope.Ignore(path);
        hr = CreateDirectoryRetry(path, kLocalRetries);
        scope.ReleaseAfter(CIgnoreScope::kReleaseDelay);
    }
    if (FAILED(hr)) return hr;
    return Storage().InsertFile(info, path, 0, SystemTimeTicks(), FILE_STATUS_SYNCED);
}

HRESULT CFileSyncThread::ReportLocalFolder(const wchar_t* path, HRESULT hr) {
    if (FAILED(hr))
        Log(L"%s - failed to downloaded(0x%x).", path, static_cast<unsigned>(hr));
    else
        Log(L"%s - downloaded.", path);
    NotifyResult(path, true, hr);
    return hr;
}

HRESULT CFileSyncThread::CreateLocalFolder(const FileInfo& info, const wchar_t* path) {
    return ReportLocalFolder(path, MakeLocalFolder(info, path));
}

HRESULT CFileSyncThread::CreateLocalFolderAndWalk(const FileInfo& info, const wchar_t* path) {
    HRESULT hr = MakeLocalFolder(info, path);
    // The folder is told about once what it holds came too: its item says
    // whether all of it arrived.
    if (SUCCEEDED(hr)) hr = FullSyncFolder(path, info.id);
    return ReportLocalFolder(path, hr);
}

HRESULT CFileSyncThread::DeleteLocalFolder(const wchar_t* path) {
    HRESULT hr;
    {
        CIgnoreScope scope(m_env.syncManager->GetIgnoreList(), m_env.syncRoot.c_str());
        scope.Ignore(path);
        hr = RecycleDirectory(path);
        scope.ReleaseAfter(CIgnoreScope::kReleaseDelay);
    }
    if (SUCCEEDED(hr)) hr = Storage().SetFileStatus(path, true, FILE_STATUS_DELETE);
    if (FAILED(hr))
        Log(L"%s - failed to delete(0x%x).", path, static_cast<unsigned>(hr));
    else
        Log(L"%s - deleted.", path);
    NotifyResult(path, true, hr);
    return hr;
}

HRESULT CFileSyncThread::DeleteLocalFile(const wchar_t* path) {
    HRESULT hr;
    {
        CIgnoreScope scope(m_env.syncManager->GetIgnoreList(), m_env.syncRoot.c_str());
        scope.Ignore(path);
        hr = RecycleFile(path, kLocalRetries);
        scope.ReleaseAfter(CIgnoreScope::kReleaseDelay);
    }
    if (SUCCEEDED(hr)) hr = Storage().SetFileStatus(path, false, FILE_STATUS_DELETE);
    if (FAILED(hr))
        Log(L"%s - failed to delete(0x%x).", path, static_cast<unsigned>(hr));
    else
        Log(L"%s - deleted.", path);
    NotifyResult(path, false, hr);
    return hr;
}

HRESULT CFileSyncThread::DeleteLocalById(uint64_t fileId) {
    FileRecord row;
    const HRESULT found = Storage().GetFile(fileId, row);
    if (found != S_OK) return found;
    const std::wstring path = RootJoin(row.name);
    if (path.empty()) return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
    return DeleteLocalFile(path.c_str());
}

HRESULT CFileSyncThread::MoveLocal(uint64_t fileId, const wchar_t* newRelativePath, const std::string& hash,
                                   uint64_t revision) {
    FileRecord row;
    HRESULT hr = Storage().GetFile(fileId, row);
    if (hr != S_OK) {
        if (hr == S_FALSE) hr = HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
        Log(L"Failed to get storage file(0x%x).", static_cast<unsigned>(hr));
        return hr;
    }
    const std::wstring oldPath = RootJoin(row.name);
    std::wstring newPath;
    hr = JoinRemoteRelativePath(m_env.syncRoot.c_str(), newRelativePath, newPath);
    if (FAILED(hr) || oldPath.empty()) {
        // A target outside the folder, or one Windows would read otherwise:
        // the local item stays where it is.
        if (SUCCEEDED(hr)) hr = HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
        return ReportSkipped(newRelativePath, row.is_folder, hr, L"unusable remote path");
    }
    // A new name that differs only in letter case may have to go through
    // another name (under Wine); that one is masked as well.
    std::wstring between;
    if (DiffersOnlyInLetterCase(oldPath, newPath))
        brelio::FormatWide(between, L"%s.%llx", newPath.c_str(), static_cast<unsigned long long>(::GetTickCount64()));
    {
        CIgnoreScope scope(m_env.syncManager->GetIgnoreList(), m_env.syncRoot.c_str());
        CIgnoreScope betweenScope(m_env.syncManager->GetIgnoreList(), m_env.syncRoot.c_str());
        scope.IgnorePair(oldPath.c_str(), newPath.c_str());
        if (!between.empty() && between.size() < MAX_PATH) {
            betweenScope.Ignore(between.c_str());
            hr = RenameLetterCaseRetry(oldPath.c_str(), newPath.c_str(), between.c_str(), kLocalRetries);
        } else {
            hr = MoveFileRetry(oldPath.c_str(), newPath.c_str(), kLocalRetries);
        }
        betweenScope.ReleaseAfter(CIgnoreScope::kReleaseDelay);
        scope.ReleaseAfter(CIgnoreScope::kReleaseDelay);
    }
    if (FAILED(hr)) {
        // The failed move is what is reported and returned; the mark only
        // helps the next pass, which finds the item unmoved either way.
        (void)Storage().SetFileStatus(fileId, row.is_folder, FILE_STATUS_LOCAL_FAILED);
        Log(L"Failed to move file(0x%x).", static_cast<unsigned>(hr));
    } else {
        hr = Storage().SetFileName(row, oldPath.c_str(), newPath.c_str(), hash, revision);
    }
    NotifyResult(newPath.c_str(), row.is_folder, hr);
    return hr;
}

HRESULT CFileSyncThread::MakeConflictCopy(const wchar_t* path, std::wstring& copyPath) {
    copyPath.clear();
    const std::wstring extension = ::PathFindExtensionW(path);
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    std::wstring time;
    brelio::FormatWide(time, L"%04u-%02u-%02u %02u%02u%02u", now.wYear, now.wMonth, now.wDay, now.wHour,
                       now.wMinute, now.wSecond);
    wchar_t computer[16] = L"";
    DWORD computerLength = ARRAYSIZE(computer);
    if (!::GetComputerNameW(computer, &computerLength)) computer[0] = L'\0';
    std::wstring base = path;
    base.resize(base.size() - extension.size());
    std::wstring copy;
    if (!brelio::FormatWide(copy, m_env.syncManager->GetHost().LoadText(IDS_CONFLICT_COPY_NAME).c_str(), base.c_str(), computer,
                            time.c_str(), extension.c_str()) ||
        copy.empty() || copy.size() >= MAX_PATH)
        return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
    HRESULT hr = S_OK;
    {
        CIgnoreScope scope(m_env.syncManager->GetIgnoreList(), m_env.syncRoot.c_str());
        scope.Ignore(copy.c_str());
        if (!::CopyFileW(path, copy.c_str(), TRUE)) hr = HRESULT_FROM_WIN32(::GetLastError());
        scope.ReleaseAfter(CIgnoreScope::kReleaseDelay);
    }
    if (SUCCEEDED(hr)) copyPath = std::move(copy);
    return hr;
}

HRESULT CFileSyncThread::KeepConflictCopy(const wchar_t* path, std::wstring& copyPath) {
    // A conflict whose download failed is met again at the next pass: the
    // copy made then still holds this content and serves again, so that a
    // conflict makes one copy however many passes it takes.
    const std::wstring extension = ::PathFindExtensionW(path);
    std::wstring base = path;
    base.resize(base.size() - extension.size());
    std::wstring pattern;
    if (brelio::FormatWide(pattern, m_env.syncManager->GetHost().LoadText(IDS_CONFLICT_COPY_NAME).c_str(), base.c_str(), L"*", L"*",
                           extension.c_str()) &&
        pattern.size() < MAX_PATH) {
        const std::wstring folder(path, static_cast<size_t>(::PathFindFileNameW(path) - path));
        WIN32_FIND_DATAW data = {};
        const brelio::UniqueFindHandle find(::FindFirstFileW(pattern.c_str(), &data));
        if (find) {
            do {
                if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
                const std::wstring candidate = folder + data.cFileName;
                if (HaveSameContent(path, candidate.c_str())) {
                    copyPath = candidate;
                    break;
                }
            } while (::FindNextFileW(find.Get(), &data));
            if (!copyPath.empty()) return S_OK;
        }
    }
    return MakeConflictCopy(path, copyPath);
}
