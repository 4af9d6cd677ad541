#include "BrelioUpdate/CabinetExtractor.h"

#include <shlwapi.h>

#include <cstdlib>

#include "BrelioCore/TextConvert.h"
#include "BrelioServices/Log.h"
#include "BrelioServices/PathHelpers.h"
#include "BrelioUpdate/CabinetEntryName.h"

namespace {

// The names FDI hands to FdiOpen are the cabinet folder and name exactly as
// given to FDICopy: UTF-8 here, so that a folder with any name opens.
FNALLOC(FdiAlloc) { return std::malloc(cb); }

FNFREE(FdiFree) { std::free(pv); }

FNOPEN(FdiOpen) {
    (void)oflag;
    (void)pmode;
    const std::wstring path = brelio::Utf8ToWide(pszFile ? pszFile : "");
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    return file == INVALID_HANDLE_VALUE ? -1 : reinterpret_cast<INT_PTR>(file);
}

FNREAD(FdiRead) {
    DWORD read = 0;
    if (!::ReadFile(reinterpret_cast<HANDLE>(hf), pv, cb, &read, nullptr)) return static_cast<UINT>(-1);
    return read;
}

FNWRITE(FdiWrite) {
    DWORD written = 0;
    if (!::WriteFile(reinterpret_cast<HANDLE>(hf), pv, cb, &written, nullptr)) return static_cast<UINT>(-1);
    return written;
}

FNCLOSE(FdiClose) { return ::CloseHandle(reinterpret_cast<HANDLE>(hf)) ? 0 : -1; }

FNSEEK(FdiSeek) {
    return static_cast<LONG>(::SetFilePointer(reinterpret_cast<HANDLE>(hf), dist, nullptr, static_cast<DWORD>(seektype)));
}

FNFDINOTIFY(FdiNotify) {
    auto* extractor = static_cast<CCabinetExtractor*>(pfdin->pv);
    return extractor->Notify(fdint, pfdin);
}

}  // namespace

CCabinetExtractor::CCabinetExtractor(IJXProgressCallback* owner, std::wstring cabinetPath)
    : m_owner(owner), m_cabinetPath(std::move(cabinetPath)) {}

HRESULT CCabinetExtractor::Extract(const std::wstring& destinationDir) {
    ReportProgress(nullptr);

    ERF error = {};
    HFDI fdi = ::FDICreate(FdiAlloc, FdiFree, FdiOpen, FdiRead, FdiWrite, FdiClose, FdiSeek, cpuUNKNOWN, &error);
    if (fdi == nullptr) return E_FAIL;

    const wchar_t* fileName = ::PathFindFileNameW(m_cabinetPath.c_str());
    std::string cabinetName = brelio::WideToUtf8(fileName);
    std::string cabinetDir = brelio::WideToUtf8(std::wstring_view(m_cabinetPath).substr(0, fileName - m_cabinetPath.c_str()));
    if (!cabinetDir.empty() && cabinetDir.back() != '\\') cabinetDir += '\\';

    m_destinationDir = destinationDir;
    const BOOL copied = !cabinetName.empty() &&
                        ::FDICopy(fdi, cabinetName.data(), cabinetDir.data(), 0, FdiNotify, nullptr, this);
    ::FDIDestroy(fdi);
    return copied ? S_OK : E_FAIL;
}

INT_PTR CCabinetExtractor::Notify(FDINOTIFICATIONTYPE type, PFDINOTIFICATION record) {
    switch (type) {
        case fdintCABINET_INFO:
        case fdintPARTIAL_FILE:
        case fdintNEXT_CABINET:
        case fdintENUMERATE:
            return 0;
        case fdintCOPY_FILE:
            return OnCopyFile(record);
        case fdintCLOSE_FILE_INFO:
            ReportProgress(nullptr);
            ::CloseHandle(reinterpret_cast<HANDLE>(record->hf));
            return TRUE;
        default:
            return -1;
    }
}

INT_PTR CCabinetExtractor::OnCopyFile(PFDINOTIFICATION record) {
    std::wstring name;
    if (!DecodeCabinetEntryName(record->psz1, name) || !IsSafeCabinetEntryName(name)) {
        // Nothing of this entry is written, and the update stops here.
        Log(L"Cabinet entry refused: '%hs'.", record->psz1 ? record->psz1 : "");
        return -1;
    }
    name = WithBackslashes(std::move(name));

    std::wstring path;
    if (!JoinPath(m_destinationDir.c_str(), name.c_str(), path)) return -1;
    if (HasDirectoryPart(name) && !CreateParentDirectory(path)) return -1;

    ReportProgress(name.c_str());
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    return file == INVALID_HANDLE_VALUE ? -1 : reinterpret_cast<INT_PTR>(file);
}

void CCabinetExtractor::ReportProgress(const wchar_t* name) {
    if (m_owner != nullptr) m_owner->OnProgress(0, 0, name);
}

bool HasDirectoryPart(const std::wstring& relativeName) {
    const size_t separator = relativeName.find_last_of(L"\\/");
    return separator != std::wstring::npos && separator > 0;
}

bool CreateParentDirectory(const std::wstring& path) {
    std::wstring parent = path;
    if (!::PathRemoveFileSpecW(parent.data())) return false;
    parent.resize(wcslen(parent.c_str()));
    if (::PathIsDirectoryW(parent.c_str())) return true;
    return ::CreateDirectoryW(parent.c_str(), nullptr) != FALSE;
}
