#include "BrelioUpdate/ShellExtRegistration.h"

#include <shlwapi.h>

#include "BrelioCore/UniqueHandle.h"
#include "BrelioServices/FileOperations.h"
#include "BrelioServices/RegistryKey.h"
#include "BrelioServices/RegistryLayout.h"
#include "UpdateResults.h"

using brelio::UniqueRegistryKey;

namespace {

// Longer stored paths are not taken for the old copy.
constexpr size_t kStoredExtensionMaxLength = 245;

using RegistrationEntry = HRESULT(STDAPICALLTYPE*)();

// Loads the library beside its own dependencies and calls one of its
// registration entries. A library that does not load or lacks the entry
// gives `missing`.
HRESULT CallRegistrationEntry(const std::wstring& path, const char* entry, HRESULT missing) {
    const brelio::UniqueModule library(::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
    if (!library) return missing;
    const auto call =
        reinterpret_cast<RegistrationEntry>(reinterpret_cast<void*>(::GetProcAddress(library.Get(), entry)));
    return call ? call() : missing;
}

LSTATUS OpenSettingsKey(UniqueRegistryKey& key) {
    return brelio::CreateRegistryKey(HKEY_CURRENT_USER, kSettingsKeyPath, KEY_READ | KEY_WRITE, key);
}

}  // namespace

HRESULT RegisterShellExtension(const std::wstring& newPath) {
    UniqueRegistryKey key;
    const LSTATUS opened = OpenSettingsKey(key);
    if (opened != ERROR_SUCCESS) return HresultFromWin32(static_cast<int>(opened));

    // What cannot register leaves the old registration alone: unregistering
    // it first would leave Explorer without overlays.
    brelio::UniqueModule library(::LoadLibraryExW(newPath.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
    if (!library) return LastErrorResult();
    const auto registerServer = reinterpret_cast<RegistrationEntry>(
        reinterpret_cast<void*>(::GetProcAddress(library.Get(), "DllRegisterServer")));
    if (registerServer == nullptr) return HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);

    std::wstring oldPath;
    if (brelio::ReadRegistryString(key.Get(), kShellExtensionValue, oldPath, kStoredExtensionMaxLength) ==
            ERROR_SUCCESS &&
        !oldPath.empty())
        (void)CallRegistrationEntry(oldPath, "DllUnregisterServer", S_OK);

    const HRESULT result = registerServer();
    brelio::WriteRegistryString(key.Get(), kShellExtensionValue, newPath);
    return result;
}

bool ReadShellExtensionPath(std::wstring& path) {
    UniqueRegistryKey key;
    if (brelio::OpenRegistryKey(HKEY_CURRENT_USER, kSettingsKeyPath, KEY_READ, key) != ERROR_SUCCESS) return false;
    return brelio::ReadRegistryString(key.Get(), kShellExtensionValue, path) == ERROR_SUCCESS;
}

void RestoreShellExtension(bool hadPath, const std::wstring& path) {
    UniqueRegistryKey key;
    if (OpenSettingsKey(key) != ERROR_SUCCESS) return;
    if (!hadPath) {
        ::RegDeleteValueW(key.Get(), kShellExtensionValue);
        return;
    }
    if (!path.empty() && ::PathFileExistsW(path.c_str())) (void)CallRegistrationEntry(path, "DllRegisterServer", S_OK);
    brelio::WriteRegistryString(key.Get(), kShellExtensionValue, path);
}
