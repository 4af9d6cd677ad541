#include "BrelioServices/RelativePath.h"

#include <windows.h>
#include <shlwapi.h>

const wchar_t* GetRelativePath(const wchar_t* path, const wchar_t* root) {
    if (path == nullptr || root == nullptr) return path;
    const int length = lstrlenW(root);
    if (length == 0 || StrCmpNIW(path, root, length) != 0) return path;
    const wchar_t next = path[length];
    if (next == L'\0') return path + length;
    if (next == L'\\') return path + length + 1;
    // "C:\Sync\" already ends at a separator; "C:\Sync2" is another folder.
    if (root[length - 1] == L'\\') return path + length;
    return path;
}
