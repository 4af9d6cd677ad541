#include "UpdateFixtures.h"

#include <windows.h>

#include <algorithm>

#include "BrelioCore/UniqueHandle.h"
#include "TempFolder.h"

namespace brelio::test {
namespace {

void Collect(const std::wstring& root, const std::wstring& relative, std::vector<std::wstring>& files) {
    const std::wstring folder = relative.empty() ? root : root + L"\\" + relative;
    WIN32_FIND_DATAW data;
    const UniqueFindHandle find(::FindFirstFileW((folder + L"\\*").c_str(), &data));
    if (!find) return;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring child = relative.empty() ? name : relative + L"\\" + name;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            Collect(root, child, files);
        else
            files.push_back(child);
    } while (::FindNextFileW(find.Get(), &data));
}

}  // namespace

std::wstring FixturePath(const std::wstring& relative) {
    std::wstring path = L"Z:";
    for (const char c : std::string(BRELIO_UPDATE_FIXTURES)) path += c == '/' ? L'\\' : static_cast<wchar_t>(c);
    return relative.empty() ? path : path + L"\\" + relative;
}

std::string FixtureUnixPath(const std::string& relative) {
    return std::string(BRELIO_UPDATE_FIXTURES) + "/" + relative;
}

bool CopyTree(const std::wstring& from, const std::wstring& to) {
    ::CreateDirectoryW(to.c_str(), nullptr);
    for (const std::wstring& file : ListFiles(from)) {
        const size_t separator = file.find_last_of(L'\\');
        if (separator != std::wstring::npos) {
            std::wstring folder = to;
            size_t start = 0;
            for (size_t next; (next = file.find(L'\\', start)) != std::wstring::npos; start = next + 1) {
                folder = to + L"\\" + file.substr(0, next);
                ::CreateDirectoryW(folder.c_str(), nullptr);
            }
        }
        if (!::CopyFileW((from + L"\\" + file).c_str(), (to + L"\\" + file).c_str(), FALSE)) return false;
    }
    return true;
}

std::vector<std::wstring> ListFiles(const std::wstring& folder) {
    std::vector<std::wstring> files;
    Collect(folder, L"", files);
    std::sort(files.begin(), files.end());
    return files;
}

::testing::AssertionResult HasSameFiles(const std::wstring& expected, const std::wstring& actual) {
    const std::vector<std::wstring> files = ListFiles(expected);
    if (files.empty()) return ::testing::AssertionFailure() << "no files in the expected tree";
    for (const std::wstring& file : files) {
        const std::wstring there = actual + L"\\" + file;
        if (!FileExists(there))
            return ::testing::AssertionFailure() << "missing: " << ::testing::PrintToString(there);
        if (ReadFileBytes(expected + L"\\" + file) != ReadFileBytes(there))
            return ::testing::AssertionFailure() << "differs: " << ::testing::PrintToString(there);
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult AreSameTrees(const std::wstring& expected, const std::wstring& actual) {
    if (ListFiles(expected) != ListFiles(actual))
        return ::testing::AssertionFailure() << "file lists differ: " << ::testing::PrintToString(ListFiles(expected))
                                             << " and " << ::testing::PrintToString(ListFiles(actual));
    return HasSameFiles(expected, actual);
}

std::vector<std::wstring> ListWorkDirs() {
    wchar_t temp[MAX_PATH + 1] = L"";
    ::GetTempPathW(MAX_PATH + 1, temp);
    std::vector<std::wstring> found;
    WIN32_FIND_DATAW data;
    const UniqueFindHandle find(::FindFirstFileW((std::wstring(temp) + L"BrelioUpdate-*").c_str(), &data));
    if (!find) return found;
    do {
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) found.push_back(std::wstring(temp) + data.cFileName);
    } while (::FindNextFileW(find.Get(), &data));
    std::sort(found.begin(), found.end());
    return found;
}

}  // namespace brelio::test
