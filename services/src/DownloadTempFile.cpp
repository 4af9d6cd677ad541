// The temporary file of a download: its name, the folder that takes it and
// its creation.
#include "BrelioServices/FileTransfer.h"

#include <objbase.h>

#include <cwchar>
#include <cwctype>

#include "BrelioCore/WideFormat.h"

namespace {

constexpr size_t kPrefixLength = std::size(kDownloadTempPrefix) - 1;
constexpr size_t kSuffixLength = std::size(kDownloadTempSuffix) - 1;
// A name already taken is drawn again; this many clashes in a row mean
// something else is wrong.
constexpr int kNameAttempts = 8;

std::wstring WithSeparator(const wchar_t* folder) {
    std::wstring text = folder != nullptr ? folder : L"";
    if (!text.empty() && text.back() != L'\\' && text.back() != L'/') text += L'\\';
    return text;
}

// The folder part of a path, separator included.
std::wstring FolderOf(const wchar_t* path) {
    const wchar_t* name = path;
    for (const wchar_t* p = path; *p; ++p) {
        if (*p == L'\\' || *p == L'/') name = p + 1;
    }
    return std::wstring(path, static_cast<size_t>(name - path));
}

bool TempNameFits(const std::wstring& folder) { return folder.size() + kDownloadTempNameLength < MAX_PATH; }

// 64 random bits as hexadecimal digits; a GUID of the system's random kind
// supplies them.
std::wstring RandomDigits() {
    GUID guid = {};
    unsigned long long bits = 0;
    if (SUCCEEDED(::CoCreateGuid(&guid))) {
        bits = (static_cast<unsigned long long>(guid.Data1) << 32) | (static_cast<unsigned long long>(guid.Data4[2]) << 24) |
               (static_cast<unsigned long long>(guid.Data4[3]) << 16) | (static_cast<unsigned long long>(guid.Data4[4]) << 8) |
               guid.Data4[5];
    } else {
        LARGE_INTEGER counter = {};
        ::QueryPerformanceCounter(&counter);
        bits = static_cast<unsigned long long>(counter.QuadPart) ^ (static_cast<unsigned long long>(::GetCurrentThreadId()) << 40);
    }
    std::wstring digits;
    brelio::FormatWide(digits, L"%016llx", bits);
    return digits;
}

}  // namespace

bool IsEngineTemporaryName(const wchar_t* name) {
    if (name == nullptr) return false;
    const size_t length = wcslen(name);
    if (length != kDownloadTempNameLength) return false;
    if (_wcsnicmp(name, kDownloadTempPrefix, kPrefixLength) != 0) return false;
    if (_wcsicmp(name + length - kSuffixLength, kDownloadTempSuffix) != 0) return false;
    for (size_t i = kPrefixLength; i < length - kSuffixLength; ++i) {
        if (!iswxdigit(name[i])) return false;
    }
    return true;
}

HRESULT ChooseDownloadTempFolder(const wchar_t* localPath, const wchar_t* spareFolder, std::wstring& folder) {
    folder = FolderOf(localPath != nullptr ? localPath : L"");
    if (TempNameFits(folder)) return S_OK;
    if (spareFolder != nullptr && *spareFolder != L'\0') {
        folder = WithSeparator(spareFolder);
        if (TempNameFits(folder)) return S_OK;
    }
    folder.clear();
    return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
}

HRESULT CreateDownloadTempFile(const std::wstring& folder, std::wstring& path, brelio::UniqueKernelHandle& file) {
    if (!TempNameFits(folder)) return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        std::wstring candidate = folder + kDownloadTempPrefix + RandomDigits() + kDownloadTempSuffix;
        // A new file only: an existing one, whoever made it, is never
        // written over.
        file.Reset(::CreateFileW(candidate.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file) {
            path = std::move(candidate);
            return S_OK;
        }
        const DWORD error = ::GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)
            return error == ERROR_SUCCESS ? E_FAIL : HRESULT_FROM_WIN32(error);
    }
    return HRESULT_FROM_WIN32(ERROR_FILE_EXISTS);
}
