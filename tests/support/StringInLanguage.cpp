#include "StringInLanguage.h"

namespace brelio::test {

std::wstring StringInLanguage(UINT id, WORD language) {
    const HMODULE module = ::GetModuleHandleW(nullptr);
    const HRSRC block = ::FindResourceExW(module, RT_STRING, MAKEINTRESOURCEW(id / 16 + 1), language);
    if (block == nullptr) return L"";
    const auto* text = static_cast<const wchar_t*>(::LockResource(::LoadResource(module, block)));
    if (text == nullptr) return L"";
    // A block holds sixteen counted strings one after the other.
    for (UINT i = 0; i < id % 16; ++i) text += 1 + *text;
    return std::wstring(text + 1, *text);
}

}  // namespace brelio::test
