#include "BrelioUpdate/UpdatePaths.h"

#include <objbase.h>
#include <shlwapi.h>

#include "BrelioCore/WideFormat.h"
#include "BrelioServices/PathHelpers.h"

std::wstring CreateUpdateWorkDir() {
    wchar_t temp[MAX_PATH + 1] = L"";
    const DWORD length = ::GetTempPathW(MAX_PATH + 1, temp);
    if (length == 0 || length > MAX_PATH) return {};

    std::wstring name = kWorkDirPrefix;
    GUID guid = {};
    if (SUCCEEDED(::CoCreateGuid(&guid))) {
        wchar_t text[40] = L"";
        if (::StringFromGUID2(guid, text, 40) > 2) {
            // "{...}" without its braces.
            std::wstring braced = text;
            name += braced.substr(1, braced.size() - 2);
        }
    }
    std::wstring workDir;
    if (!JoinPath(temp, name.c_str(), workDir)) return {};
    if (!::PathFileExistsW(workDir.c_str())) ::CreateDirectoryW(workDir.c_str(), nullptr);
    return workDir;
}

std::wstring GetModuleDirectory() {
    std::wstring path;
    if (FAILED(GetProgramPath(path))) return {};
    if (!::PathRemoveFileSpecW(path.data())) return {};
    path.resize(wcslen(path.c_str()));
    return path;
}

CJXVersion GetRunningVersion() {
    std::wstring program;
    CJXVersion version;
    if (SUCCEEDED(GetProgramPath(program))) (void)version.Load(program.c_str(), true);
    return version;
}

std::wstring VersionText(const CJXVersion& version) {
    WORD parts[4] = {};
    version.GetVersion(parts);
    std::wstring text;
    brelio::FormatWide(text, L"%d.%d.%d.%d", parts[0], parts[1], parts[2], parts[3]);
    return text;
}

bool HaveEqualVersions(const wchar_t* first, const wchar_t* second) {
    CJXVersion a;
    CJXVersion b;
    if (FAILED(a.Load(first, true)) || FAILED(b.Load(second, true))) return false;
    return a == b;
}
