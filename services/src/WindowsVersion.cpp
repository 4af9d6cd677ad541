#include "BrelioServices/WindowsVersion.h"

#include "BrelioCore/JXVersion.h"

bool GetWindowsVersion(WORD& major, WORD& minor) {
    CJXVersion version;
    if (FAILED(version.Load(L"Kernel32.dll", true))) return false;
    WORD parts[4];
    version.GetVersion(parts);
    major = parts[0];
    minor = parts[1];
    return true;
}

bool IsWindows10OrLater() {
    WORD major = 0;
    WORD minor = 0;
    return GetWindowsVersion(major, minor) && major > 9;
}
