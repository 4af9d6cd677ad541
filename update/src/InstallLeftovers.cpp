#include "BrelioUpdate/InstallLeftovers.h"

#include <windows.h>
#include <shlwapi.h>

#include <cwctype>

#include "BrelioCore/UniqueHandle.h"
#include "BrelioServices/Log.h"
#include "BrelioServices/PathHelpers.h"
#include "BrelioUpdate/InstallTransaction.h"

namespace {

enum class Leftover { kNone, kStaged, kBackup };

bool EndsWithNoCase(const std::wstring& text, size_t end, const wchar_t* suffix) {
    const size_t length = wcslen(suffix);
    return end >= length && ::CompareStringOrdinal(text.c_str() + end - length, static_cast<int>(length), suffix,
                                                   static_cast<int>(length), TRUE) == CSTR_EQUAL;
}

// What the name is, and the name of the file it was made beside:
// "<file>.BrelioUpdate-new", "<file>.BrelioUpdate-old" or
// "<file>.BrelioUpdate-old-<number>".
Leftover ReadLeftoverName(const std::wstring& name, std::wstring& file) {
    size_t end = name.size();
    if (EndsWithNoCase(name, end, kInstallStagedSuffix)) {
        file = name.substr(0, end - wcslen(kInstallStagedSuffix));
        return file.empty() ? Leftover::kNone : Leftover::kStaged;
    }
    while (end > 0 && std::iswdigit(name[end - 1])) --end;
    if (end < name.size()) {
        if (end == 0 || name[end - 1] != L'-') return Leftover::kNone;
        --end;
    }
    if (!EndsWithNoCase(name, end, kInstallBackupSuffix)) return Leftover::kNone;
    file = name.substr(0, end - wcslen(kInstallBackupSuffix));
    return file.empty() ? Leftover::kNone : Leftover::kBackup;
}

}  // namespace

void RemoveInstallLeftovers(const std::wstring& folder) {
    std::wstring pattern;
    if (folder.empty() || !JoinPath(folder.c_str(), L"*", pattern)) return;
    WIN32_FIND_DATAW found = {};
    const brelio::UniqueFindHandle find(::FindFirstFileW(pattern.c_str(), &found));
    if (!find) return;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        const std::wstring name = found.cFileName;
        std::wstring path;
        if (!JoinPath(folder.c_str(), name.c_str(), path)) continue;
        std::wstring file;
        const Leftover leftover = ReadLeftoverName(name, file);
        if (leftover == Leftover::kNone) continue;
        std::wstring filePath;
        if (leftover == Leftover::kBackup &&
            (!JoinPath(folder.c_str(), file.c_str(), filePath) || !::PathFileExistsW(filePath.c_str())))
            continue;
        if (::DeleteFileW(path.c_str())) Log(L"Removed %s.", path.c_str());
    } while (::FindNextFileW(find.Get(), &found));
}
