#include "LibraryText.h"

#include "BrelioCore/UniqueHandle.h"

namespace brelio::test {

std::wstring LibraryText(const std::wstring& library, UINT id, const std::wstring& argument) {
    const UniqueModule module(::LoadLibraryExW(library.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    if (!module) return {};
    // With a zero length LoadStringW hands out a pointer into the resource.
    const wchar_t* text = nullptr;
    const int length = ::LoadStringW(module.Get(), id, reinterpret_cast<LPWSTR>(&text), 0);
    if (length <= 0 || text == nullptr) return {};
    std::wstring result(text, static_cast<size_t>(length));
    const size_t at = result.find(L"%s");
    if (at != std::wstring::npos) result.replace(at, 2, argument);
    return result;
}

}  // namespace brelio::test
