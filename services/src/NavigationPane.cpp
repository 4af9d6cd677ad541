#include "BrelioServices/NavigationPane.h"

#include <shlobj.h>

#include <string>

#include "BrelioServices/PathHelpers.h"
#include "BrelioServices/RegistryKey.h"
#include "BrelioServices/WindowsVersion.h"

using brelio::CreateRegistryKey;
using brelio::OpenRegistryKey;
using brelio::UniqueRegistryKey;
using brelio::WriteRegistryDword;
using brelio::WriteRegistryString;

namespace {

constexpr REGSAM kEntryAccess = KEY_READ | KEY_CREATE_SUB_KEY | KEY_SET_VALUE;
constexpr wchar_t kClassesClsidPath[] = L"Software\\Classes\\CLSID";
constexpr wchar_t kNameSpacePath[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Desktop\\NameSpace";
constexpr wchar_t kNewStartPanelPath[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\HideDesktopIcons\\NewStartPanel";
constexpr wchar_t kDisplayName[] = L"BrelioDrive";
constexpr wchar_t kInitialTarget[] = L"%USERPROFILE%";

// The folder shortcut object of Windows, and its older form.
constexpr wchar_t kFolderShortcutClsid10[] = L"{0E5AAE11-A475-4c5b-AB00-C66DE400274E}";
constexpr wchar_t kFolderShortcutClsidOld[] = L"{0AFACED1-E828-11D1-9187-B532F1E9575D}";

std::wstring Below(const wchar_t* parent, const wchar_t* child) {
    return std::wstring(parent) + L"\\" + child;
}

std::wstring EntryPath() { return Below(kClassesClsidPath, kNavigationPaneClsid); }

const wchar_t* TargetValueName(bool windows10) { return windows10 ? L"TargetFolderPath" : L"Target"; }

// A subkey that cannot be created is passed over with its values.
template <typename Write>
void WithSubkey(HKEY parent, const wchar_t* name, Write&& write) {
    UniqueRegistryKey key;
    if (CreateRegistryKey(parent, name, kEntryAccess, key) == ERROR_SUCCESS) write(key.Get());
}

void WriteEntry(HKEY entry, bool windows10) {
    WriteRegistryString(entry, nullptr, kDisplayName);
    WriteRegistryDword(entry, L"SortOrderIndex", 0x42);
    WriteRegistryDword(entry, L"System.IsPinnedToNameSpaceTree", 1);

    WithSubkey(entry, L"DefaultIcon", [](HKEY key) {
        std::wstring program;
        if (SUCCEEDED(GetProgramPath(program))) WriteRegistryString(key, nullptr, program + L",-128");
    });
    WithSubkey(entry, L"InProcServer32", [windows10](HKEY key) {
        WriteRegistryString(key, nullptr,
                            windows10 ? L"%systemroot%\\system32\\shell32.dll" : L"%systemroot%\\system32\\shdocvw.dll",
                            REG_EXPAND_SZ);
        if (!windows10) WriteRegistryString(key, L"ThreadingModel", L"Apartment");
    });
    WithSubkey(entry, L"Instance", [windows10](HKEY instance) {
        WriteRegistryString(instance, L"CLSID", windows10 ? kFolderShortcutClsid10 : kFolderShortcutClsidOld);
        WithSubkey(instance, L"InitPropertyBag", [windows10](HKEY bag) {
            if (windows10) WriteRegistryDword(bag, L"Attributes", 0x11);
            WriteRegistryString(bag, TargetValueName(windows10), kInitialTarget, REG_EXPAND_SZ);
        });
    });
    WithSubkey(entry, L"ShellFolder", [windows10](HKEY key) {
        WriteRegistryDword(key, L"Attributes", windows10 ? 0xF080004D : 0xF080000D);
        if (windows10) {
            WriteRegistryDword(key, L"FolderValueFlags", 0x28);
        } else {
            // The trailing blank is part of the name the shell looks for.
            WriteRegistryString(key, L"WantsFORPARSING ", L"");
        }
    });
}

}  // namespace

HRESULT RegisterNavigationPane(bool force) {
    const std::wstring entryPath = EntryPath();
    if (!force) {
        UniqueRegistryKey existing;
        if (OpenRegistryKey(HKEY_CURRENT_USER, entryPath.c_str(), KEY_READ, existing) == ERROR_SUCCESS) return S_OK;
    } else {
        // Start clean, so that values of another Windows version's form do
        // not linger beside the new ones.
        UniqueRegistryKey classes;
        if (OpenRegistryKey(HKEY_CURRENT_USER, kClassesClsidPath, KEY_READ | KEY_WRITE | DELETE, classes) ==
            ERROR_SUCCESS)
            brelio::DeleteRegistryTree(classes.Get(), kNavigationPaneClsid);
    }

    UniqueRegistryKey entry;
    if (CreateRegistryKey(HKEY_CURRENT_USER, entryPath.c_str(), kEntryAccess, entry) != ERROR_SUCCESS) return E_FAIL;
    WriteEntry(entry.Get(), IsWindows10OrLater());
    entry.Reset();

    {
        UniqueRegistryKey nameSpace;
        const std::wstring path = Below(kNameSpacePath, kNavigationPaneClsid);
        if (CreateRegistryKey(HKEY_CURRENT_USER, path.c_str(), kEntryAccess, nameSpace) == ERROR_SUCCESS)
            WriteRegistryString(nameSpace.Get(), nullptr, kDisplayName);
    }
    {
        UniqueRegistryKey newStartPanel;
        if (CreateRegistryKey(HKEY_CURRENT_USER, kNewStartPanelPath, kEntryAccess, newStartPanel) == ERROR_SUCCESS)
            WriteRegistryDword(newStartPanel.Get(), kNavigationPaneClsid, 1);
    }

    ::SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
    return S_OK;
}

HRESULT SetNavigationPaneTarget(const wchar_t* folder) {
    const std::wstring path = Below(EntryPath().c_str(), L"Instance\\InitPropertyBag");
    UniqueRegistryKey bag;
    if (OpenRegistryKey(HKEY_CURRENT_USER, path.c_str(), kEntryAccess, bag) != ERROR_SUCCESS) return E_FAIL;
    if (folder == nullptr) return S_OK;
    const LSTATUS status = WriteRegistryString(bag.Get(), TargetValueName(IsWindows10OrLater()), folder);
    return status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(status);
}

void UnregisterNavigationPane() {
    UniqueRegistryKey classes;
    if (OpenRegistryKey(HKEY_CURRENT_USER, kClassesClsidPath, KEY_READ | KEY_WRITE | DELETE, classes) ==
        ERROR_SUCCESS)
        brelio::DeleteRegistryTree(classes.Get(), kNavigationPaneClsid);

    UniqueRegistryKey nameSpace;
    if (OpenRegistryKey(HKEY_CURRENT_USER, kNameSpacePath, KEY_READ | KEY_WRITE | DELETE, nameSpace) ==
        ERROR_SUCCESS)
        brelio::DeleteRegistryKey(nameSpace.Get(), kNavigationPaneClsid);

    UniqueRegistryKey newStartPanel;
    if (OpenRegistryKey(HKEY_CURRENT_USER, kNewStartPanelPath, KEY_SET_VALUE, newStartPanel) == ERROR_SUCCESS)
        ::RegDeleteValueW(newStartPanel.Get(), kNavigationPaneClsid);
}
