#include <windows.h>

#include <string>

#include "BrelioServices/GlobalSettings.h"
#include "BrelioServices/PathHelpers.h"
#include "BrelioServices/RegistryKey.h"
#include "BrelioServices/RegistryLayout.h"

using brelio::UniqueRegistryKey;

bool IsAutoStartEnabled() {
    std::wstring program;
    if (FAILED(GetProgramPath(program))) return false;
    UniqueRegistryKey run;
    if (brelio::OpenRegistryKey(HKEY_CURRENT_USER, kRunKeyPath, KEY_READ, run) != ERROR_SUCCESS) return false;
    std::wstring stored;
    if (brelio::ReadRegistryString(run.Get(), kRunValue, stored, kStoredPathMaxLength) != ERROR_SUCCESS) return false;
    return ::lstrcmpiW(stored.c_str(), program.c_str()) == 0;
}

void SetAutoStart(bool on) {
    UniqueRegistryKey run;
    if (on) {
        std::wstring program;
        if (FAILED(GetProgramPath(program))) return;
        if (brelio::CreateRegistryKey(HKEY_CURRENT_USER, kRunKeyPath, KEY_WRITE, run) != ERROR_SUCCESS) return;
        brelio::WriteRegistryString(run.Get(), kRunValue, program);
    } else {
        if (brelio::OpenRegistryKey(HKEY_CURRENT_USER, kRunKeyPath, KEY_READ | KEY_WRITE, run) != ERROR_SUCCESS) return;
        ::RegDeleteValueW(run.Get(), kRunValue);
    }
}
