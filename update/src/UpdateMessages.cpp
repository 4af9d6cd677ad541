#include "BrelioUpdate/UpdateMessages.h"

#include "BrelioCore/WideFormat.h"
#include "BrelioUpdate/UpdateResourceIds.h"

namespace {
// Its address names the module that holds this code.
void ModuleAnchor() {}
}  // namespace

HINSTANCE UpdateModule() {
    HMODULE module = nullptr;
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCWSTR>(&ModuleAnchor), &module);
    return module;
}

std::wstring LoadUpdateString(UINT id) {
    // With a zero length LoadStringW hands out a read-only pointer into the
    // resource itself, so texts of any length come out whole.
    const wchar_t* text = nullptr;
    const int length = ::LoadStringW(UpdateModule(), id, reinterpret_cast<LPWSTR>(&text), 0);
    if (length <= 0 || text == nullptr) return std::wstring();
    return std::wstring(text, static_cast<size_t>(length));
}

int ShowMessage(const wchar_t* text, UINT style) {
    const std::wstring caption = LoadUpdateString(IDS_UPDATE_TITLE);
    return ::MessageBoxW(nullptr, text ? text : L"", caption.c_str(), style);
}

int ShowMessageId(UINT id, UINT style) { return ShowMessage(LoadUpdateString(id).c_str(), style); }

int ShowMessageFormat(UINT id, const wchar_t* argument, UINT style) {
    std::wstring text;
    // The table's texts carry exactly one %s; a text that fails to format
    // is still shown, unformatted, rather than no box at all.
    if (!brelio::FormatWide(text, LoadUpdateString(id).c_str(), argument ? argument : L""))
        text = LoadUpdateString(id);
    return ShowMessage(text.c_str(), style);
}
