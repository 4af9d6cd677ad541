#include "BrelioCore/StringTable.h"

std::wstring LoadStringText(UINT id) {
    // With a zero length LoadStringW hands out a read-only pointer into the
    // resource itself, so texts of any length come out whole.
    const wchar_t* text = nullptr;
    const int length = ::LoadStringW(::GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&text), 0);
    if (length <= 0 || text == nullptr) return std::wstring();
    return std::wstring(text, static_cast<size_t>(length));
}
