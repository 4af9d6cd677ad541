#include "SyncFolderPath.h"

#include <windows.h>

namespace {

std::wstring_view WithoutTrailingBackslashes(std::wstring_view path) {
    while (!path.empty() && path.back() == L'\\') path.remove_suffix(1);
    return path;
}

bool EqualIgnoringCase(std::wstring_view a, std::wstring_view b) {
    return a.size() == b.size() &&
           ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
               CSTR_EQUAL;
}

}  // namespace

SyncFolderPlace PlaceInSyncFolder(std::wstring_view root, std::wstring_view path) {
    root = WithoutTrailingBackslashes(root);
    path = WithoutTrailingBackslashes(path);
    if (root.empty() || path.size() < root.size()) return SyncFolderPlace::Outside;
    if (!EqualIgnoringCase(root, path.substr(0, root.size()))) return SyncFolderPlace::Outside;
    if (path.size() == root.size()) return SyncFolderPlace::Root;
    return path[root.size()] == L'\\' ? SyncFolderPlace::Inside : SyncFolderPlace::Outside;
}
