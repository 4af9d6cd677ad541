#include "BrelioUpdate/InstallTransaction.h"

#include <shlwapi.h>

#include "BrelioCore/ErrorFlow.h"
#include "BrelioServices/Log.h"
#include "UpdateResults.h"

namespace {

// Old files of earlier installs that are still in use take the first
// names; an install gives up only when all of these are taken.
constexpr int kBackupNames = 100;

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

bool ContainsNoCase(const std::wstring& text, const wchar_t* part) {
    const int length = static_cast<int>(wcslen(part));
    for (size_t at = 0; at + length <= text.size(); ++at) {
        if (::CompareStringOrdinal(text.c_str() + at, length, part, length, TRUE) == CSTR_EQUAL) return true;
    }
    return false;
}

// A name beside `target` where its old file can be kept: free, or made
// free. An old file there that is still in use keeps its name.
HRESULT FreeBackupName(const std::wstring& target, std::wstring& backup) {
    for (int n = 0; n < kBackupNames; ++n) {
        std::wstring candidate = target + kInstallBackupSuffix;
        if (n > 0) candidate += L"-" + std::to_wstring(n);
        if (!Fits(candidate)) return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
        if (::PathFileExistsW(candidate.c_str()) && !::DeleteFileW(candidate.c_str())) {
            Log(L"%s is still in use(0x%x).", candidate.c_str(), LastErrorResult());
            continue;
        }
        backup = std::move(candidate);
        return S_OK;
    }
    return HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS);
}

}  // namespace

bool IsInstallTemporaryName(const std::wstring& name) {
    return ContainsNoCase(name, kInstallStagedSuffix) || ContainsNoCase(name, kInstallBackupSuffix);
}

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
    if (IsInstallTemporaryName(::PathFindFileNameW(target.c_str()))) {
        Log(L"%s is named like a copy of the install.", target.c_str());
        return HRESULT_FROM_WIN32(ERROR_INVALID_NAME);
    }
    Entry entry;
    entry.target = target;
    entry.staged = target + kInstallStagedSuffix;
    if (!Fits(entry.staged) || !Fits(entry.target + kInstallBackupSuffix))
        return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);

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
    entry.hadTarget = ::PathFileExistsW(entry.target.c_str()) != FALSE;
    if (entry.hadTarget) {
        BRELIO_RETURN_IF_FAILED(FreeBackupName(entry.target, entry.backup), L"replace %s failed(0x%x).",
                                entry.target.c_str());
        HRESULT moved = MoveReplacing(entry.target, entry.backup);
        if (FAILED(moved) && IsSharingViolation(moved) && retryInUse) {
            const HRESULT answer = retryInUse(entry.target, moved);
            moved = SUCCEEDED(answer) ? MoveReplacing(entry.target, entry.backup) : answer;
        }
        BRELIO_RETURN_IF_FAILED(moved, L"replace %s failed(0x%x).", entry.target.c_str());
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
        // A library still loaded elsewhere keeps its old file until it is
        // free (RemoveInstallLeftovers).
        if (entry.replaced && entry.hadTarget && !::DeleteFileW(entry.backup.c_str()))
            Log(L"%s is kept while in use(0x%x).", entry.backup.c_str(), LastErrorResult());
    }
}

std::vector<std::wstring> CInstallTransaction::InstalledTargets() const {
    std::vector<std::wstring> targets;
    for (const Entry& entry : m_entries) {
        if (entry.replaced) targets.push_back(entry.target);
    }
    return targets;
}
