#include "BrelioCore/TextConvert.h"

#include <windows.h>

#include <climits>

namespace brelio {
namespace {

std::wstring ToWide(UINT codePage, std::string_view text) {
    if (text.empty() || text.size() > INT_MAX) return {};
    const int length = static_cast<int>(text.size());
    const int needed = ::MultiByteToWideChar(codePage, 0, text.data(), length, nullptr, 0);
    if (needed <= 0) return {};
    std::wstring out(static_cast<size_t>(needed), L'\0');
    const int written = ::MultiByteToWideChar(codePage, 0, text.data(), length, out.data(), needed);
    if (written <= 0) return {};
    out.resize(static_cast<size_t>(written));
    return out;
}

std::string FromWide(UINT codePage, std::wstring_view text) {
    if (text.empty() || text.size() > INT_MAX) return {};
    const int length = static_cast<int>(text.size());
    const int needed =
        ::WideCharToMultiByte(codePage, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    if (needed <= 0) return {};
    std::string out(static_cast<size_t>(needed), '\0');
    const int written = ::WideCharToMultiByte(codePage, 0, text.data(), length, out.data(), needed,
                                              nullptr, nullptr);
    if (written <= 0) return {};
    out.resize(static_cast<size_t>(written));
    return out;
}

}  // namespace

std::wstring Utf8ToWide(std::string_view text) { return ToWide(CP_UTF8, text); }
std::string WideToUtf8(std::wstring_view text) { return FromWide(CP_UTF8, text); }
std::string WideToAnsi(std::wstring_view text) { return FromWide(CP_THREAD_ACP, text); }

bool CopyTerminated(wchar_t* buffer, size_t capacity, std::wstring_view text) {
    if (buffer == nullptr || capacity == 0) return text.empty();
    size_t count = text.size();
    const bool fits = count < capacity;
    if (!fits) {
        count = capacity - 1;
        // Never leave half of a surrogate pair at the end.
        if (count > 0 && IS_HIGH_SURROGATE(text[count - 1])) --count;
    }
    text.copy(buffer, count);
    buffer[count] = L'\0';
    return fits;
}

}  // namespace brelio
