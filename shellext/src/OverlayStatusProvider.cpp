#include "OverlayStatusProvider.h"

#include <shlobj.h>
#include <shlwapi.h>

#include "BrelioCore/TextConvert.h"
#include "BrelioFramework/Module.h"
#include "BrelioServices/NamedMutex.h"
#include "BrelioServices/PathHelpers.h"
#include "ExtensionSettings.h"
#include "SyncFolderPath.h"

namespace {

// Paths are handed on whole or not at all: the overlay library and the
// database know no longer ones.
constexpr size_t kLongestPath = kSettingPathCapacity - 1;

}  // namespace

std::wstring GetOverlayLibraryPath() {
    std::wstring extension;
    if (FAILED(GetModulePath(ATL::GetModuleInstance(), extension))) return {};
    wchar_t path[MAX_PATH + 1] = L"";
    wcsncpy(path, extension.c_str(), MAX_PATH);
    ::PathRemoveFileSpecW(path);
    if (wcslen(path) + 1 + wcslen(kOverlayLibraryName) > kLongestPath) return {};
    if (!::PathAppendW(path, kOverlayLibraryName)) return {};
    return path;
}

COverlayStatusProvider::COverlayStatusProvider(int overlayId)
    : m_overlayId(overlayId),
      m_libraryPath(GetOverlayLibraryPath()),
      m_worker(brelio::UniqueKernelHandle(::CreateMutexW(nullptr, FALSE, kLocalStorageMutexName))) {}

HRESULT COverlayStatusProvider::IsMemberOf(const wchar_t* path, DWORD attributes) {
    if (path == nullptr || path[0] == L'\0') return S_FALSE;
    // Answered, not cut: a shortened path would name another item.
    if (wcsnlen(path, kLongestPath + 1) > kLongestPath) return S_FALSE;
    CJXSRWLockGuard lock(m_lock, true);
    wchar_t root[kSettingPathCapacity] = L"";
    GetRootDir(root, kSettingPathCapacity);
    if (root[0] == L'\0') return S_FALSE;
    if (PlaceInSyncFolder(root, path) != SyncFolderPlace::Inside) {
        FreeOverlayLibrary();
        return S_FALSE;
    }
    LoadLibraryOnce();
    if (m_isMemberOf == nullptr) return S_FALSE;
    return CallIsMemberOf(root, path, attributes);
}

HRESULT COverlayStatusProvider::CallIsMemberOf(const wchar_t* root, const wchar_t* path, DWORD attributes) {
    wchar_t storage[kSettingPathCapacity] = L"";
    GetLocalStoragePath(storage, kSettingPathCapacity);
    if (storage[0] == L'\0') return S_FALSE;
    OverlayQuestion question;
    question.isMemberOf = m_isMemberOf;
    // The question's own reference: the library stays loaded while it is
    // asked, whatever this provider does meanwhile.
    if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(m_isMemberOf),
                              question.library.Put()))
        return S_FALSE;
    question.overlayId = m_overlayId;
    question.storage = storage;
    question.root = root;
    question.path = path;
    question.attributes = attributes;
    question.generation = GetSettingsGeneration();
    return m_worker.Ask(std::move(question));
}

void COverlayStatusProvider::LoadLibraryOnce() {
    if (m_library) return;  // a missing export is not looked for again
    if (m_libraryPath.empty()) return;
    m_library.Reset(::LoadLibraryW(m_libraryPath.c_str()));
    if (!m_library) return;  // tried again at the next call
    m_isMemberOf = reinterpret_cast<OverlayIsMemberOfFunction>(
        reinterpret_cast<void*>(::GetProcAddress(m_library.Get(), "IsMemberOf")));
}

void COverlayStatusProvider::FreeOverlayLibrary() {
    m_isMemberOf = nullptr;
    m_library.Reset();
}

HRESULT COverlayStatusProvider::GetOverlayInfo(wchar_t* iconFile, int capacity, int* index, DWORD* flags) const {
    if (iconFile == nullptr || index == nullptr || flags == nullptr) return E_POINTER;
    if (capacity <= 0) return E_INVALIDARG;
    // A cut path would name another file.
    if (!brelio::CopyTerminated(iconFile, static_cast<size_t>(capacity), m_libraryPath)) {
        iconFile[0] = L'\0';
        return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    }
    *index = m_overlayId - 1;
    *flags = ISIOI_ICONFILE | ISIOI_ICONINDEX;
    return S_OK;
}
