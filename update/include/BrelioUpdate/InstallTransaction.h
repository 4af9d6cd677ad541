#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// Puts new files into an installation so that it ends either wholly old or
// wholly new. Each file is first copied beside its target ("<name>.BrelioUpdate-new");
// only when every copy succeeded are the targets replaced, each old file
// kept beside as "<name>.BrelioUpdate-old" until the end. A failure at any
// point puts back every file already replaced and removes what was added.
//
// An old file still in use (a library loaded elsewhere can be renamed but
// not deleted) stays behind at the end; the next install then keeps its
// old file under a fresh name ("<name>.BrelioUpdate-old-1", ...), and
// RemoveInstallLeftovers removes the kept files once they are free.
class CInstallTransaction {
public:
    CInstallTransaction() = default;
    ~CInstallTransaction();
    CInstallTransaction(const CInstallTransaction&) = delete;
    CInstallTransaction& operator=(const CInstallTransaction&) = delete;

    // Makes a missing folder of the installation; it is removed again on
    // roll-back. S_OK when it exists.
    [[nodiscard]] HRESULT AddDirectory(const std::wstring& path);
    // Copies `source` beside `target`, up to five attempts. A target named
    // like the install's own copies (IsInstallTemporaryName) is refused
    // with HRESULT_FROM_WIN32(ERROR_INVALID_NAME).
    [[nodiscard]] HRESULT StageFile(const std::wstring& source, const std::wstring& target);
    // Asked when a target stays in use after all attempts, with the
    // failure: S_OK tries it once more, any other result ends the install
    // with that result.
    using RetryInUse = std::function<HRESULT(const std::wstring& target, HRESULT failure)>;
    // Replaces every target by its staged copy, in the order staged. On a
    // failure everything is put back before it returns.
    [[nodiscard]] HRESULT Commit(const RetryInUse& retryInUse);
    // Puts back the old installation: staged copies and new folders
    // removed, replaced files restored.
    void RollBack();
    // Removes the kept old files (those still in use stay behind).
    void Finish();

    // Targets replaced by Commit, in order.
    std::vector<std::wstring> InstalledTargets() const;

private:
    struct Entry {
        std::wstring target;
        std::wstring staged;
        std::wstring backup;
        bool hadTarget = false;
        bool replaced = false;
    };
    HRESULT Replace(Entry& entry, const RetryInUse& retryInUse);

    std::vector<Entry> m_entries;
    std::vector<std::wstring> m_newDirectories;
    bool m_done = false;
};

// How often a file operation of the install is tried, and the pause
// between two attempts.
inline constexpr int kInstallAttempts = 5;
inline constexpr DWORD kInstallRetryPauseMs = 250;

// What the install puts beside a file: its new copy, and the old file kept
// until the install is done.
inline constexpr wchar_t kInstallStagedSuffix[] = L".BrelioUpdate-new";
inline constexpr wchar_t kInstallBackupSuffix[] = L".BrelioUpdate-old";

// A file name (no folder) that holds either suffix, in any case: such a
// file could stand where the install keeps a copy, and is never installed.
[[nodiscard]] bool IsInstallTemporaryName(const std::wstring& name);
