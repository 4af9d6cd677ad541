#include "TestFiles.h"

#include <atomic>

#include "BrelioCore/UniqueHandle.h"
std::wstring MakeScratchFolder() {
    static std::atomic<unsigned> counter{0};
    wchar_t temp[MAX_PATH + 1] = L"";
    ::GetTempPathW(MAX_PATH + 1, temp);
    wchar_t name[MAX_PATH] = L"";
    swprintf(name, MAX_PATH, L"%lsbrelio-settings-%lu-%llu-%u", temp, ::GetCurrentProcessId(),
             static_cast<unsigned long long>(::GetTickCount64()), counter.fetch_add(1));
    ::CreateDirectoryW(name, nullptr);
    return name;
}

void RemoveTree(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return;
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileW(path.c_str());
        return;
    }
    WIN32_FIND_DATAW found;
    brelio::UniqueFindHandle search(::FindFirstFileW((path + L"\\*").c_str(), &found));
    if (search) {
        do {
            const std::wstring name = found.cFileName;
            if (name != L"." && name != L"..") RemoveTree(path + L"\\" + name);
        } while (::FindNextFileW(search.Get(), &found));
    }
    ::RemoveDirectoryW(path.c_str());
}

void WriteTextFile(const std::wstring& path, const char* text) {
    brelio::UniqueKernelHandle file(
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return;
    DWORD written = 0;
    ::WriteFile(file.Get(), text, static_cast<DWORD>(strlen(text)), &written, nullptr);
}

bool PathExists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool IsFolder(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring ThisProgramPath() {
    wchar_t path[MAX_PATH + 1] = L"";
    ::GetModuleFileNameW(nullptr, path, MAX_PATH + 1);
    return path;
}

std::wstring ThisProgramFolder() {
    const std::wstring path = ThisProgramPath();
    return path.substr(0, path.find_last_of(L'\\'));
}

ULONGLONG NowMs() { return ::GetTickCount64(); }
