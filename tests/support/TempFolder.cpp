#include "TempFolder.h"

#include <windows.h>

#include <atomic>

#include "BrelioCore/UniqueHandle.h"

namespace brelio::test {

CTempFolder::~CTempFolder() {
    if (!m_path.empty()) RemoveTree(m_path);
}

bool CTempFolder::Create() {
    static std::atomic<unsigned> counter{0};
    wchar_t temp[MAX_PATH + 1] = {};
    if (GetTempPathW(MAX_PATH + 1, temp) == 0) return false;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::wstring path = std::wstring(temp) + L"brelio-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                            std::to_wstring(counter++);
        if (CreateDirectoryW(path.c_str(), nullptr)) {
            m_path = path;
            return true;
        }
    }
    return false;
}

void RemoveTree(const std::wstring& path) {
    WIN32_FIND_DATAW data;
    UniqueFindHandle find(FindFirstFileW((path + L"\\*").c_str(), &data));
    if (find) {
        do {
            const std::wstring name = data.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring child = path + L"\\" + name;
            SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(child);
            else
                DeleteFileW(child.c_str());
        } while (FindNextFileW(find.Get(), &data));
    }
    RemoveDirectoryW(path.c_str());
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    UniqueKernelHandle file(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD written = 0;
    return WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

std::string ReadFileBytes(const std::wstring& path) {
    UniqueKernelHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, 0, nullptr));
    if (!file) return {};
    LARGE_INTEGER size = {};
    GetFileSizeEx(file.Get(), &size);
    std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!bytes.empty() && !ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr))
        return {};
    bytes.resize(read);
    return bytes;
}

bool FileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

size_t CountMatching(const std::wstring& folder, const std::wstring& pattern) {
    size_t count = 0;
    WIN32_FIND_DATAW data;
    UniqueFindHandle find(FindFirstFileW((folder + L"\\" + pattern).c_str(), &data));
    if (!find) return 0;
    do {
        ++count;
    } while (FindNextFileW(find.Get(), &data));
    return count;
}

}  // namespace brelio::test
