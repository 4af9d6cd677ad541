#include "BrelioUpdate/CabinetEntryName.h"

#include <windows.h>

#include <cstring>
#include <cwctype>

#include "BrelioUpdate/InstallTransaction.h"

namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// Names that Windows opens as devices in any folder, with or without an
// extension.
bool IsDeviceName(const std::wstring& component) {
    std::wstring base = component.substr(0, component.find(L'.'));
    while (!base.empty() && base.back() == L' ') base.pop_back();
    for (wchar_t& c : base) c = static_cast<wchar_t>(std::towupper(c));
    static const wchar_t* const kDevices[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"};
    for (const wchar_t* device : kDevices) {
        if (base == device) return true;
    }
    // The superscript digits one to three name the same ports.
    const auto isPortDigit = [](wchar_t c) {
        return (c >= L'0' && c <= L'9') || c == L'\u00B9' || c == L'\u00B2' || c == L'\u00B3';
    };
    return base.size() == 4 && (base.compare(0, 3, L"COM") == 0 || base.compare(0, 3, L"LPT") == 0) &&
           isPortDigit(base[3]);
}

bool IsSafeComponent(const std::wstring& component) {
    // The install's own copies beside each file: an entry of that name
    // would stand where the install keeps an old file to put back.
    if (IsInstallTemporaryName(component)) return false;
    if (component.empty()) return false;
    // ".", ".." and any name Windows would trim into another one.
    if (component.back() == L'.' || component.back() == L' ') return false;
    for (wchar_t c : component) {
        if (c < 0x20 || c == L'<' || c == L'>' || c == L'"' || c == L'|' || c == L'?' || c == L'*') return false;
    }
    return !IsDeviceName(component);
}

}  // namespace

bool DecodeCabinetEntryName(const char* name, std::wstring& wide) {
    if (name == nullptr || *name == '\0') return false;
    const int length = static_cast<int>(std::strlen(name));
    const int needed = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, name, length, nullptr, 0);
    if (needed <= 0) return false;
    std::wstring out(static_cast<size_t>(needed), L'\0');
    if (::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, name, length, out.data(), needed) != needed)
        return false;
    wide = std::move(out);
    return true;
}

bool IsSafeCabinetEntryName(const std::wstring& name) {
    if (name.empty() || IsSeparator(name.front())) return false;
    // A colon is a drive ("C:x", "C:\x") or a stream ("a.txt:s").
    if (name.find(L':') != std::wstring::npos) return false;
    size_t start = 0;
    for (;;) {
        size_t end = start;
        while (end < name.size() && !IsSeparator(name[end])) ++end;
        if (!IsSafeComponent(name.substr(start, end - start))) return false;
        if (end == name.size()) return true;
        start = end + 1;
    }
}

std::wstring WithBackslashes(std::wstring name) {
    for (wchar_t& c : name) {
        if (c == L'/') c = L'\\';
    }
    return name;
}
