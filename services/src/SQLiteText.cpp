#include "BrelioServices/SQLiteText.h"

#include <sqlite3.h>

#include <cstdarg>

#include "BrelioCore/TextConvert.h"
#include "BrelioCore/WideFormat.h"

namespace sqltext {
namespace {

static_assert(kTooBig == SQLITE_TOOBIG && kSchemaMismatch == SQLITE_FORMAT);

// "|" cannot occur in a Windows file name, so it makes a safe escape; it is
// escaped too, for names that came from elsewhere.
constexpr wchar_t kLikeEscape = L'|';

std::string Utf8Within(std::wstring_view text, size_t maxBytes) {
    std::string utf8 = brelio::WideToUtf8(text);
    if (utf8.empty() && !text.empty()) throw static_cast<int>(SQLITE_MISUSE);
    if (utf8.size() > maxBytes) throw kTooBig;
    return utf8;
}

}  // namespace

void Check(int result) {
    if (result != SQLITE_OK && result != SQLITE_ROW && result != SQLITE_DONE) throw result;
}

std::wstring Statement(const wchar_t* format, ...) {
    std::wstring text;
    va_list args;
    va_start(args, format);
    const bool ok = brelio::FormatWideV(text, format, args);
    va_end(args);
    if (!ok) throw kTooBig;
    return text;
}

std::string StatementUtf8(std::wstring_view statement) { return Utf8Within(statement, kMaxStatementBytes); }

std::wstring_view StripTrailingBackslashes(std::wstring_view name) {
    const size_t end = name.find_last_not_of(L'\\');
    return end == std::wstring_view::npos ? std::wstring_view() : name.substr(0, end + 1);
}

std::string BoundName(std::wstring_view name) { return BoundText(StripTrailingBackslashes(name)); }

std::string BoundText(std::wstring_view text) {
    if (text.size() > kMaxNameChars) throw kTooBig;
    return Utf8Within(text, kMaxBoundBytes);
}

std::string BoundHash(std::string_view hash) {
    if (hash.size() > kMaxHashBytes) throw kTooBig;
    return std::string(hash);
}

std::string PathUtf8(std::wstring_view path) { return Utf8Within(path, kMaxBoundBytes); }

std::string UnderFolderPattern(std::wstring_view folder) {
    const std::wstring_view stripped = StripTrailingBackslashes(folder);
    if (stripped.size() > kMaxNameChars) throw kTooBig;
    std::wstring pattern;
    pattern.reserve(stripped.size() + 8);
    for (const wchar_t c : stripped) {
        if (c == L'%' || c == L'_' || c == kLikeEscape) pattern += kLikeEscape;
        pattern += c;
    }
    pattern += L"\\%";
    return Utf8Within(pattern, kMaxBoundBytes);
}

std::optional<std::wstring> ParentName(std::wstring_view name) {
    const std::wstring_view stripped = StripTrailingBackslashes(name);
    const size_t separator = stripped.find_last_of(L'\\');
    if (separator == std::wstring_view::npos) return std::nullopt;
    return std::wstring(StripTrailingBackslashes(stripped.substr(0, separator)));
}

}  // namespace sqltext
