#include "BrelioSync/LocalName.h"

#include <cwchar>
#include <cwctype>

#include "BrelioServices/FileTransfer.h"

namespace {

bool IsDeviceName(const wchar_t* name) {
    // The device is named by what stands before the first dot.
    const wchar_t* dot = std::wcschr(name, L'.');
    const size_t length = dot != nullptr ? static_cast<size_t>(dot - name) : std::wcslen(name);
    std::wstring stem(name, length);
    while (!stem.empty() && stem.back() == L' ') stem.pop_back();
    if (stem.size() != 3 && stem.size() != 4) return false;
    for (wchar_t& c : stem) c = static_cast<wchar_t>(std::towupper(c));
    if (stem == L"CON" || stem == L"PRN" || stem == L"AUX" || stem == L"NUL") return true;
    if (stem.size() == 4 && (stem.compare(0, 3, L"COM") == 0 || stem.compare(0, 3, L"LPT") == 0))
        return stem[3] >= L'1' && stem[3] <= L'9';
    return false;
}

}  // namespace

bool IsSafeLocalName(const wchar_t* name) {
    if (name == nullptr || name[0] == L'\0') return false;
    const size_t length = std::wcslen(name);
    if (length > 255) return false;
    if (std::wcscmp(name, L".") == 0 || std::wcscmp(name, L"..") == 0) return false;
    for (size_t i = 0; i < length; ++i) {
        const wchar_t c = name[i];
        if (c < 0x20 || std::wcschr(L"<>:\"/\\|?*", c) != nullptr) return false;
    }
    if (name[length - 1] == L'.' || name[length - 1] == L' ') return false;
    // The engine's own temporary name: such a file would be removed at the
    // next start as a leftover, and then trashed on the drive as deleted.
    if (IsEngineTemporaryName(name)) return false;
    return !IsDeviceName(name);
}

bool IsSafeRelativePath(const std::wstring& relativePath) {
    if (relativePath.empty()) return false;
    size_t start = 0;
    while (true) {
        const size_t end = relativePath.find(L'\\', start);
        const std::wstring part = relativePath.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
        if (!IsSafeLocalName(part.c_str())) return false;
        if (end == std::wstring::npos) return true;
        start = end + 1;
    }
}

bool JoinName(const wchar_t* folder, const std::wstring& relative, std::wstring& path) {
    std::wstring joined = folder != nullptr ? folder : L"";
    if (!joined.empty() && joined.back() != L'\\') joined += L'\\';
    joined += relative;
    if (joined.size() >= MAX_PATH) return false;
    path = std::move(joined);
    return true;
}

HRESULT JoinRemoteName(const wchar_t* folder, const wchar_t* name, std::wstring& path) {
    path.clear();
    if (!IsSafeLocalName(name)) return HRESULT_FROM_WIN32(ERROR_INVALID_NAME);
    if (!JoinName(folder, name, path)) return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
    return S_OK;
}

HRESULT JoinRemoteRelativePath(const wchar_t* root, const std::wstring& relativePath, std::wstring& path) {
    path.clear();
    if (!IsSafeRelativePath(relativePath)) return HRESULT_FROM_WIN32(ERROR_INVALID_NAME);
    if (!JoinName(root, relativePath, path)) return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
    return S_OK;
}
