#include "BrelioServices/RegistryKey.h"

#include <cstring>
#include <vector>

namespace brelio {
namespace {

using RegDeleteKeyExWProc = LSTATUS(WINAPI*)(HKEY, LPCWSTR, REGSAM, DWORD);

RegDeleteKeyExWProc FindRegDeleteKeyExW() {
    // Not every system has it; resolved once.
    static const RegDeleteKeyExWProc proc = [] {
        HMODULE advapi = ::GetModuleHandleW(L"advapi32.dll");
        return advapi ? reinterpret_cast<RegDeleteKeyExWProc>(
                            reinterpret_cast<void*>(::GetProcAddress(advapi, "RegDeleteKeyExW")))
                      : nullptr;
    }();
    return proc;
}

LSTATUS MissingIsSuccess(LSTATUS status) {
    return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
}

}  // namespace

LSTATUS OpenRegistryKey(HKEY parent, const wchar_t* path, REGSAM access, UniqueRegistryKey& key) {
    HKEY opened = nullptr;
    const LSTATUS status = ::RegOpenKeyExW(parent, path, 0, access, &opened);
    if (status != ERROR_SUCCESS) return status;
    key.Reset(opened);
    return ERROR_SUCCESS;
}

LSTATUS CreateRegistryKey(HKEY parent, const wchar_t* path, REGSAM access, UniqueRegistryKey& key,
                          bool* created) {
    HKEY opened = nullptr;
    DWORD disposition = 0;
    const LSTATUS status = ::RegCreateKeyExW(parent, path, 0, nullptr, REG_OPTION_NON_VOLATILE, access,
                                             nullptr, &opened, &disposition);
    if (status != ERROR_SUCCESS) return status;
    key.Reset(opened);
    if (created != nullptr) *created = disposition == REG_CREATED_NEW_KEY;
    return ERROR_SUCCESS;
}

LSTATUS ReadRegistryString(HKEY key, const wchar_t* name, std::wstring& text, size_t maxLength) {
    if (maxLength > kRegistryStringMaxLength) maxLength = kRegistryStringMaxLength;
    // RegGetValueW would expand REG_EXPAND_SZ and silently add a missing
    // terminator; the stored bytes are checked here instead.
    std::vector<wchar_t> buffer(kRegistryStringMaxLength + 1);
    DWORD type = REG_NONE;
    DWORD bytes = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    const LSTATUS status =
        ::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &bytes);
    if (status != ERROR_SUCCESS) return status;
    if (type != REG_SZ && type != REG_EXPAND_SZ) return ERROR_INVALID_DATATYPE;
    if (bytes == 0 || bytes % sizeof(wchar_t) != 0) return ERROR_INVALID_DATA;
    const size_t count = bytes / sizeof(wchar_t);
    if (buffer[count - 1] != L'\0') return ERROR_INVALID_DATA;
    const size_t length = std::wstring_view(buffer.data()).size();
    if (length > maxLength) return ERROR_MORE_DATA;
    text.assign(buffer.data(), length);
    return ERROR_SUCCESS;
}

LSTATUS ReadRegistryDword(HKEY key, const wchar_t* name, DWORD& value) {
    // Room for more than a DWORD, so that a longer value is told apart.
    BYTE data[sizeof(DWORD) * 2] = {};
    DWORD type = REG_NONE;
    DWORD bytes = sizeof(data);
    LSTATUS status = ::RegQueryValueExW(key, name, nullptr, &type, data, &bytes);
    if (status == ERROR_MORE_DATA) status = ERROR_INVALID_DATA;
    if (status != ERROR_SUCCESS) return status;
    if (type != REG_DWORD) return ERROR_INVALID_DATATYPE;
    if (bytes != sizeof(DWORD)) return ERROR_INVALID_DATA;
    DWORD read = 0;
    memcpy(&read, data, sizeof(read));
    value = read;
    return ERROR_SUCCESS;
}

bool IsRegistryFlagOn(HKEY key, const wchar_t* name) {
    DWORD value = 0;
    return ReadRegistryDword(key, name, value) == ERROR_SUCCESS && value == 1;
}

LSTATUS WriteRegistryString(HKEY key, const wchar_t* name, std::wstring_view text, DWORD type) {
    if (text.size() > kRegistryStringMaxLength) return ERROR_MORE_DATA;
    const std::wstring terminated(text);
    const DWORD bytes = static_cast<DWORD>((terminated.size() + 1) * sizeof(wchar_t));
    return ::RegSetValueExW(key, name, 0, type, reinterpret_cast<const BYTE*>(terminated.c_str()), bytes);
}

LSTATUS WriteRegistryDword(HKEY key, const wchar_t* name, DWORD value) {
    return ::RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
}

LSTATUS WriteRegistryQword(HKEY key, const wchar_t* name, uint64_t value) {
    return ::RegSetValueExW(key, name, 0, REG_QWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
}

LSTATUS DeleteRegistryKey(HKEY parent, const wchar_t* subkey) {
    if (RegDeleteKeyExWProc deleteEx = FindRegDeleteKeyExW()) return MissingIsSuccess(deleteEx(parent, subkey, 0, 0));
    return MissingIsSuccess(::RegDeleteKeyW(parent, subkey));
}

LSTATUS DeleteRegistryTree(HKEY parent, const wchar_t* subkey) {
    return MissingIsSuccess(::RegDeleteTreeW(parent, subkey));
}

}  // namespace brelio
