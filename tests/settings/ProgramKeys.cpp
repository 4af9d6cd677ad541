#include "ProgramKeys.h"

#include "BrelioCore/UniqueHandle.h"
#include "BrelioServices/NavigationPane.h"
#include "BrelioServices/RegistryLayout.h"
#include <shlobj.h>

#include <cstring>

namespace {

const wchar_t kClsidPath[] = L"Software\\Classes\\CLSID";
const wchar_t kNameSpacePath[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Desktop\\NameSpace";
const wchar_t kNewStartPanelPath[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\HideDesktopIcons\\NewStartPanel";

void DeleteTreeBelow(const wchar_t* parentPath, const wchar_t* name) {
    brelio::UniqueRegKey parent;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, parentPath, 0, KEY_ALL_ACCESS, parent.Put()) != ERROR_SUCCESS) return;
    ::RegDeleteTreeW(parent.Get(), name);
}

void DeleteValue(const wchar_t* keyPath, const wchar_t* name) {
    brelio::UniqueRegKey key;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, keyPath, 0, KEY_SET_VALUE, key.Put()) != ERROR_SUCCESS) return;
    ::RegDeleteValueW(key.Get(), name);
}

std::wstring TypeName(DWORD type) {
    switch (type) {
        case REG_SZ: return L"REG_SZ";
        case REG_EXPAND_SZ: return L"REG_EXPAND_SZ";
        case REG_DWORD: return L"REG_DWORD";
        case REG_QWORD: return L"REG_QWORD";
        case REG_BINARY: return L"REG_BINARY";
        case REG_MULTI_SZ: return L"REG_MULTI_SZ";
        default: return L"type " + std::to_wstring(type);
    }
}

void Describe(HKEY key, const std::wstring& subpath, std::set<std::wstring>& lines) {
    lines.insert(L"K " + subpath);
    for (DWORD index = 0;; ++index) {
        wchar_t name[16384];
        DWORD length = 16384;
        DWORD type = 0;
        if (::RegEnumValueW(key, index, name, &length, nullptr, &type, nullptr, nullptr) != ERROR_SUCCESS) break;
        lines.insert(L"V " + subpath + L"|" + std::wstring(name, length) + L"|" + TypeName(type));
    }
    for (DWORD index = 0;; ++index) {
        wchar_t name[256];
        DWORD length = 256;
        if (::RegEnumKeyExW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        brelio::UniqueRegKey child;
        if (::RegOpenKeyExW(key, name, 0, KEY_READ, child.Put()) != ERROR_SUCCESS) continue;
        Describe(child.Get(), subpath.empty() ? name : subpath + L"\\" + name, lines);
    }
}

}  // namespace

void DeleteProgramKeys() {
    DeleteTreeBelow(L"SOFTWARE\\Ostrel Corporation", L"BrelioDrive");
    DeleteTreeBelow(kClsidPath, kNavigationPaneClsid);
    DeleteTreeBelow(kNameSpacePath, kNavigationPaneClsid);
    DeleteValue(kNewStartPanelPath, kNavigationPaneClsid);
    DeleteValue(kRunKeyPath, kRunValue);
}

std::set<std::wstring> DescribeTree(const wchar_t* path) {
    std::set<std::wstring> lines;
    brelio::UniqueRegKey key;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, key.Put()) != ERROR_SUCCESS) return lines;
    Describe(key.Get(), L"", lines);
    return lines;
}

void WriteRaw(const std::wstring& keyPath, const wchar_t* name, DWORD type, const void* data, DWORD size) {
    brelio::UniqueRegKey key;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, keyPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.Put(),
                                nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(::RegSetValueExW(key.Get(), name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
}

void WriteRawString(const std::wstring& keyPath, const wchar_t* name, const std::wstring& text, DWORD type) {
    WriteRaw(keyPath, name, type, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

void WriteRawDword(const std::wstring& keyPath, const wchar_t* name, DWORD value) {
    WriteRaw(keyPath, name, REG_DWORD, &value, sizeof(value));
}

RawValue ReadRaw(const std::wstring& keyPath, const wchar_t* name) {
    RawValue value;
    brelio::UniqueRegKey key;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, keyPath.c_str(), 0, KEY_READ, key.Put()) != ERROR_SUCCESS) return value;
    DWORD size = 0;
    DWORD type = REG_NONE;
    if (::RegQueryValueExW(key.Get(), name, nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
        value.type = type;
        value.bytes.resize(size);
        ::RegQueryValueExW(key.Get(), name, nullptr, &type, value.bytes.data(), &size);
    }
    return value;
}

bool KeyExists(const std::wstring& keyPath) {
    brelio::UniqueRegKey key;
    return ::RegOpenKeyExW(HKEY_CURRENT_USER, keyPath.c_str(), 0, KEY_READ, key.Put()) == ERROR_SUCCESS;
}

std::wstring StoredString(const RawValue& value) {
    std::wstring text(value.bytes.size() / sizeof(wchar_t), L'\0');
    memcpy(text.data(), value.bytes.data(), text.size() * sizeof(wchar_t));
    if (!text.empty() && text.back() == L'\0') text.pop_back();
    return text;
}

std::wstring DefaultAccountRoot(const wchar_t* account) {
    brelio::UniqueCoTaskMem<wchar_t> profile;
    std::wstring root;
    if (SUCCEEDED(::SHGetKnownFolderPath(FOLDERID_Profile, 0, nullptr, profile.Put())))
        root = std::wstring(profile.Get()) + L"\\BrelioDrive\\" + account;
    return root;
}

void ProgramKeysTest::SetUp() { DeleteProgramKeys(); }
void ProgramKeysTest::TearDown() { DeleteProgramKeys(); }
