#include "BrelioUpdate/InstallTransaction.h"

#include <shlwapi.h>

#include "BrelioServices/Log.h"
#include "UpdateResults.h"

namespace {

constexpr wchar_t kStagedSuffix[] = L".BrelioUpdate-new";
constexpr wchar_t kBackupSuffix[] = L".BrelioUpdate-old";

// Makes up to kInstallAttempts attempts, kInstallRetryPauseMs apart; the
// last attempt's result is the result.
template <typename Attempt>
HRESULT WithAttempts(Attempt&& attempt) {
    HRESULT result = E_FAIL;
    for (int i = 0; i < kInstallAttempts; ++i) {
        if (i > 0) ::Sleep(kInstallRetryPauseMs);
        result = attempt();
        if (SUCCEEDED(result)) break;
    }
    return result;
}

HRESULT MoveReplacing(const std::wstring& from, const std::wstring& to) {
    return WithAttempts([&] {
        return ::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
                   ? S_OK
                   : LastErrorResult();
    });
}

bool IsSharingViolation(HRESULT result) { return (static_cast<DWORD>(result) & 0xFFFF) == ERROR_SHARING_VIOLATION; }

bool Fits(const std::wstring& path) { return path.size() < MAX_PATH; }

}  // namespace

CInstallTransaction::~CInstallTransaction() {
    if (!m_done) RollBack();
}

HRESULT CInstallTransaction::AddDirectory(const std::wstring& path) {
    if (::PathIsDirectoryW(path.c_str())) return S_OK;
    if (!::CreateDirectoryW(path.c_str(), nullptr)) return LastErrorResult();
    m_newDirectories.push_back(path);
    return S_OK;
}

HRESULT CInstallTransaction::StageFile(const std::wstring& source, const std::wstring& target) {
    Entry entry;
    entry.target = target;
    entry.staged = target + kStagedSuffix;
    entry.backup = target + kBackupSuffix;
    if (!Fits(entry.staged) || !Fits(entry.backup)) return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
    entry.hadTarget = ::PathFileExistsW(target.c_str()) != FALSE;

    const HRESULT copied = WithAttempts([&] {
        return ::CopyFileW(source.c_str(), entry.staged.c_str(), FALSE) ? S_OK : LastErrorResult();
    });
    if (FAILED(copied)) {
        ::DeleteFileW(entry.staged.c_str());
        return copied;
    }
    m_entries.push_back(std::move(entry));
    return S_OK;
}

HRESULT CInstallTransaction::Replace(Entry& entry, const RetryInUse& retryInUse) {
    if (entry.hadTarget) {
        // A kept file of an earlier install that could not be removed then
        // may be gone by now.
        ::DeleteFileW(entry.backup.c_str());
        HRESULT moved = MoveReplacing(entry.target, entry.backup);
        if (FAILED(moved) && IsSharingViolation(moved) && retryInUse) {
            const HRESULT answer = retryInUse(entry.target, moved);
            moved = SUCCEEDED(answer) ? MoveReplacing(entry.target, entry.backup) : answer;
        }
        if (FAILED(moved)) {
            Log(L"replace %s failed(0x%x).", entry.target.c_str(), moved);
            return moved;
        }
    }
    const HRESULT placed = MoveReplacing(entry.staged, entry.target);
    if (FAILED(placed)) {
        Log(L"replace %s failed(0x%x).", entry.target.c_str(), placed);
        if (entry.hadTarget && FAILED(MoveReplacing(entry.backup, entry.target)))
            Log(L"restore %s failed.", entry.target.c_str());
        return placed;
    }
    entry.replaced = true;
    return S_OK;
}

HRESULT CInstallTransaction::Commit(const RetryInUse& retryInUse) {
    for (Entry& entry : m_entries) {
        const HRESULT result = Replace(entry, retryInUse);
        if (FAILED(result)) {
            RollBack();
            return result;
        }
    }
    return S_OK;
}

void CInstallTransaction::RollBack() {
    m_done = true;
    for (auto entry = m_entries.rbegin(); entry != m_entries.rend(); ++entry) {
        if (!entry->replaced) {
            ::DeleteFileW(entry->staged.c_str());
            continue;
        }
        const HRESULT restored = entry->hadTarget
                                     ? MoveReplacing(entry->backup, entry->target)
                                     : (::DeleteFileW(entry->target.c_str()) ? S_OK : LastErrorResult());
        if (FAILED(restored)) Log(L"restore %s failed(0x%x).", entry->target.c_str(), restored);
        entry->replaced = false;
    }
    for (auto folder = m_newDirectories.rbegin(); folder != m_newDirectories.rend(); ++folder)
        ::RemoveDirectoryW(folder->c_str());
    m_newDirectories.clear();
    if (!m_entries.empty()) Log(L"Install rolled back.");
}

void CInstallTransaction::Finish() {
    m_done = true;
    for (const Entry& entry : m_entries) {
        // A library still loaded elsewhere keeps its old file until then.
        if (entry.hadTarget) ::DeleteFileW(entry.backup.c_str());
    }
}

std::vector<std::wstring> CInstallTransaction::InstalledTargets() const {
    std::vector<std::wstring> targets;
    for (const Entry& entry : m_entries) {
        if (entry.replaced) targets.push_back(entry.target);
    }
    return targets;
}
