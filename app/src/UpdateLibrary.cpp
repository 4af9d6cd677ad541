#include "BrelioApp/UpdateLibrary.h"

#include <shlwapi.h>

#include <cwchar>
#include <string>

#include "BrelioServices/ModuleNames.h"
#include "BrelioServices/PathHelpers.h"

namespace {

using CheckUpdateProc = int (*)(int);
using ApplyUpdateProc = int (*)(const wchar_t*);
using UpdateFileProc = int (*)();

template <typename Proc>
Proc FindExport(HMODULE library, const char* name) {
    if (library == nullptr) return nullptr;
    return reinterpret_cast<Proc>(reinterpret_cast<void*>(::GetProcAddress(library, name)));
}

// Frees the library on every way out of one use.
class CUpdateLibraryUse {
public:
    CUpdateLibraryUse() : m_library(LoadUpdateLibrary()) {}
    ~CUpdateLibraryUse() { FreeUpdateLibrary(m_library); }
    CUpdateLibraryUse(const CUpdateLibraryUse&) = delete;
    CUpdateLibraryUse& operator=(const CUpdateLibraryUse&) = delete;
    HMODULE Get() const { return m_library; }

private:
    HMODULE m_library;
};

}  // namespace

HMODULE LoadUpdateLibrary() {
    std::wstring program;
    if (FAILED(GetProgramPath(program))) return nullptr;
    wchar_t path[MAX_PATH + 1] = L"";
    wcsncpy(path, program.c_str(), MAX_PATH);
    if (!::PathRemoveFileSpecW(path) || !::PathAppendW(path, kUpdateLibraryName)) return nullptr;
    return ::LoadLibraryW(path);
}

void FreeUpdateLibrary(HMODULE library) {
    if (library != nullptr) ::FreeLibrary(library);
}

int CallCheckUpdate(HMODULE library, int mode) {
    const auto call = FindExport<CheckUpdateProc>(library, "CheckUpdate");
    return call ? call(mode) : E_FAIL;
}

int CallApplyUpdate(HMODULE library, const wchar_t* installDir) {
    const auto call = FindExport<ApplyUpdateProc>(library, "ApplyUpdate");
    return call ? call(installDir) : E_FAIL;
}

int CallUpdateFile(HMODULE library) {
    const auto call = FindExport<UpdateFileProc>(library, "UpdateFile");
    return call ? call() : E_FAIL;
}

int RunCheckUpdate(int mode) {
    const CUpdateLibraryUse library;
    return CallCheckUpdate(library.Get(), mode);
}

int RunApplyUpdate(const wchar_t* installDir) {
    const CUpdateLibraryUse library;
    return CallApplyUpdate(library.Get(), installDir);
}
