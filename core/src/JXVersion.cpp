#include "BrelioCore/JXVersion.h"

#include <cwctype>
#include <vector>

namespace {
// Its address names the module that holds this code.
void ModuleAnchor() {}
}  // namespace

CJXVersion::CJXVersion(const wchar_t* text) {
    if (text == nullptr) return;
    WORD parts[4] = {0, 0, 0, 0};
    int index = 0;
    unsigned long value = 0;
    bool digits = false;
    for (const wchar_t* p = text;; ++p) {
        if (*p >= L'0' && *p <= L'9') {
            value = value * 10 + static_cast<unsigned long>(*p - L'0');
            if (value > 0xFFFF) return;
            digits = true;
        } else if (*p == L'.' || *p == L'\0') {
            if (!digits || index >= 4) return;
            parts[index++] = static_cast<WORD>(value);
            value = 0;
            digits = false;
            if (*p == L'\0') break;
        } else {
            return;
        }
    }
    for (int i = 0; i < 4; ++i) m_parts[i] = parts[i];
}

HRESULT CJXVersion::Load(const wchar_t* path, bool product) {
    wchar_t self[MAX_PATH + 1] = {};
    if (path == nullptr) {
        HMODULE module = nullptr;
        if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                      GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                  reinterpret_cast<LPCWSTR>(&ModuleAnchor), &module))
            return HRESULT_FROM_WIN32(::GetLastError());
        const DWORD length = ::GetModuleFileNameW(module, self, MAX_PATH);
        if (length == 0 || length >= MAX_PATH) return HRESULT_FROM_WIN32(ERROR_BUFFER_OVERFLOW);
        path = self;
    }
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(path, &ignored);
    if (size == 0) return HRESULT_FROM_WIN32(::GetLastError());
    std::vector<unsigned char> block(size);
    if (!::GetFileVersionInfoW(path, 0, size, block.data())) return HRESULT_FROM_WIN32(::GetLastError());
    VS_FIXEDFILEINFO* info = nullptr;
    UINT infoLength = 0;
    if (!::VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&info), &infoLength) ||
        info == nullptr || infoLength < sizeof(VS_FIXEDFILEINFO))
        return HRESULT_FROM_WIN32(ERROR_RESOURCE_TYPE_NOT_FOUND);
    const DWORD ms = product ? info->dwProductVersionMS : info->dwFileVersionMS;
    const DWORD ls = product ? info->dwProductVersionLS : info->dwFileVersionLS;
    m_parts[0] = HIWORD(ms);
    m_parts[1] = LOWORD(ms);
    m_parts[2] = HIWORD(ls);
    m_parts[3] = LOWORD(ls);
    return S_OK;
}

void CJXVersion::GetVersion(WORD parts[4]) const {
    for (int i = 0; i < 4; ++i) parts[i] = m_parts[i];
}

std::strong_ordering CJXVersion::operator<=>(const CJXVersion& other) const {
    for (int i = 0; i < 4; ++i) {
        if (m_parts[i] != other.m_parts[i]) return m_parts[i] <=> other.m_parts[i];
    }
    return std::strong_ordering::equal;
}
