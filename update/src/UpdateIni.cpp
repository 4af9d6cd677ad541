#include "BrelioUpdate/UpdateIni.h"

#include <windows.h>

#include <map>
#include <string>
#include <string_view>

#include "BrelioCore/TextConvert.h"
#include "BrelioCore/UniqueHandle.h"
#include "BrelioServices/PathHelpers.h"
#include "BrelioUpdate/UpdatePaths.h"

using brelio::UniqueKernelHandle;

namespace {

// Longer lines are no lines of ours; they are dropped whole.
constexpr size_t kMaxLineBytes = 4095;
// The file holds two short entries; anything far larger is not ours.
constexpr DWORD kMaxFileBytes = 1 << 20;
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

using Entries = std::map<std::string, std::string>;

std::string_view Trim(std::string_view text, std::string_view blanks) {
    const size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) return {};
    const size_t last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

constexpr std::string_view kWhiteSpace = " \t\r\n\v\f";
constexpr std::string_view kValueBlanks = " \t\r";

bool ReadAll(HANDLE file, std::string& bytes) {
    LARGE_INTEGER size = {};
    if (!::GetFileSizeEx(file, &size) || size.QuadPart > kMaxFileBytes) return false;
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    if (!bytes.empty() && !::ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr))
        return false;
    bytes.resize(read);
    return true;
}

// Lines up to a line feed, until the end or the first empty line.
Entries ParseEntries(std::string_view text) {
    if (text.substr(0, kUtf8Bom.size()) == kUtf8Bom) text.remove_prefix(kUtf8Bom.size());
    Entries entries;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty()) break;
        if (line.size() > kMaxLineBytes) continue;

        const size_t keyStart = line.find_first_not_of('=');
        if (keyStart == std::string_view::npos) continue;
        const size_t equals = line.find('=', keyStart);
        if (equals == std::string_view::npos) continue;
        const std::string_view key = Trim(line.substr(keyStart, equals - keyStart), kWhiteSpace);
        const std::string_view value = Trim(line.substr(equals + 1), kValueBlanks);
        if (key.empty() || value.empty()) continue;
        entries[std::string(key)] = std::string(value);
    }
    return entries;
}

std::wstring IniPath(const std::wstring& workDir) {
    std::wstring path;
    if (!JoinPath(workDir.c_str(), kIniFileName, path)) return {};
    return path;
}

}  // namespace

bool SetIniValue(const std::wstring& workDir, const wchar_t* key, const std::wstring& value) {
    // A line break inside would end the entry early and start a forged one.
    if (value.find_first_of(L"\r\n") != std::wstring::npos) return false;
    const std::string narrowKey(Trim(brelio::WideToUtf8(key ? key : L""), kWhiteSpace));
    if (narrowKey.empty() || narrowKey.find('=') != std::string::npos) return false;

    const std::wstring path = IniPath(workDir);
    if (path.empty()) return false;
    UniqueKernelHandle file(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    std::string bytes;
    if (!ReadAll(file.Get(), bytes)) return false;

    Entries entries = ParseEntries(bytes);
    entries[narrowKey] = brelio::WideToUtf8(value);

    std::string text;
    for (const auto& [name, entry] : entries) {
        if (entry.empty()) continue;
        text += name;
        text += '=';
        text += entry;
        text += "\r\n";
    }
    if (::SetFilePointer(file.Get(), 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER) return false;
    if (!::SetEndOfFile(file.Get())) return false;
    DWORD written = 0;
    return text.empty() ||
           (::WriteFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
            written == text.size());
}

std::wstring GetIniValue(const std::wstring& workDir, const wchar_t* key) {
    const std::wstring path = IniPath(workDir);
    if (path.empty()) return {};
    UniqueKernelHandle file(
        ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return {};
    std::string bytes;
    if (!ReadAll(file.Get(), bytes)) return {};
    const Entries entries = ParseEntries(bytes);
    const auto found = entries.find(brelio::WideToUtf8(key ? key : L""));
    if (found == entries.end()) return {};
    return brelio::Utf8ToWide(Trim(found->second, kWhiteSpace));
}
