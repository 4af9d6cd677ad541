#include "DriveTree.h"

#include <windows.h>

#include "BrelioCore/TextConvert.h"
#include "BrelioCore/UniqueHandle.h"
#include "Sha256.h"
#include "StandinControl.h"

namespace brelio::test {

namespace {

constexpr char kConflictMark[] = "(conflicted and copied from ";

// Paths of 248 characters and more need the long form for the file calls.
std::wstring LongForm(const std::wstring& path) { return L"\\\\?\\" + path; }

void AddItems(std::vector<LocalItem>& items, const std::wstring& folder, const std::string& prefix) {
    WIN32_FIND_DATAW data;
    const UniqueFindHandle find(::FindFirstFileW(LongForm(folder + L"\\*").c_str(), &data));
    if (!find) return;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        LocalItem item;
        item.path = prefix + WideToUtf8(name);
        item.fullPath = folder + L"\\" + name;
        item.isFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        items.push_back(item);
        if (item.isFolder) AddItems(items, item.fullPath, item.path + "/");
    } while (::FindNextFileW(find.Get(), &data));
}

bool IsBelow(const std::string& path, const std::string& folder) {
    return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 && path[folder.size()] == '/';
}

}  // namespace

std::vector<LocalItem> LocalItems(const std::wstring& root) {
    std::vector<LocalItem> items;
    AddItems(items, root, "");
    return items;
}

DriveTree LocalTree(const std::wstring& root) {
    DriveTree tree;
    for (const LocalItem& item : LocalItems(root))
        tree[item.path] = item.isFolder ? std::string(kFolderMark) : Sha256HexOfFile(LongForm(item.fullPath));
    return tree;
}

DriveTree RemoteTree(const std::string& session, TrashedItems trashed) {
    DriveTree tree;
    const Json::Value answer = ControlGet("/tree?session=" + session);
    for (const Json::Value& item : answer["items"]) {
        if (trashed == TrashedItems::LeftOut && item["trashed"].asBool()) continue;
        std::string path = item["path"].asString();
        while (!path.empty() && path.front() == '/') path.erase(0, 1);
        if (path.empty()) continue;
        tree[path] = item["type"].asString() == "file" ? item["hash"].asString() : std::string(kFolderMark);
    }
    return tree;
}

DriveTree FilesOf(const DriveTree& tree) {
    DriveTree files;
    for (const auto& [path, content] : tree)
        if (content != kFolderMark) files[path] = content;
    return files;
}

std::string LastName(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool HasItemNamed(const DriveTree& tree, const std::string& name) {
    for (const auto& [path, content] : tree)
        if (LastName(path) == name) return true;
    return false;
}

std::string TreeDifference(const DriveTree& expected, const DriveTree& actual) {
    std::string lines;
    for (const auto& [path, hash] : expected) {
        const auto found = actual.find(path);
        if (found == actual.end())
            lines += "  missing: " + path + "\n";
        else if (found->second != hash)
            lines += "  other content: " + path + "\n";
    }
    for (const auto& [path, hash] : actual)
        if (expected.find(path) == expected.end()) lines += "  not expected: " + path + "\n";
    return lines;
}

std::vector<std::string> TemporaryItems(const DriveTree& tree) {
    std::vector<std::string> found;
    for (const auto& [path, hash] : tree)
        if (LastName(path).rfind("$$$", 0) == 0) found.push_back(path);
    return found;
}

std::vector<std::string> IdenticalConflictCopies(const DriveTree& tree) {
    std::vector<std::string> found;
    for (const auto& [path, hash] : tree) {
        // base + "(conflicted and copied from <computer> <time>)" + extension
        const size_t mark = path.rfind(kConflictMark);
        if (mark == std::string::npos || hash == kFolderMark) continue;
        const size_t close = path.find(')', mark);
        if (close == std::string::npos) continue;
        const std::string original = path.substr(0, mark) + path.substr(close + 1);
        const auto it = tree.find(original);
        if (it != tree.end() && it->second == hash) found.push_back(path);
    }
    return found;
}

void MoveInTree(DriveTree& tree, const std::string& from, const std::string& to) {
    DriveTree moved;
    for (auto it = tree.begin(); it != tree.end();) {
        if (it->first == from || IsBelow(it->first, from)) {
            moved[to + it->first.substr(from.size())] = it->second;
            it = tree.erase(it);
        } else {
            ++it;
        }
    }
    tree.insert(moved.begin(), moved.end());
}

void EraseFromTree(DriveTree& tree, const std::string& path) {
    for (auto it = tree.begin(); it != tree.end();) {
        if (it->first == path || IsBelow(it->first, path))
            it = tree.erase(it);
        else
            ++it;
    }
}

}  // namespace brelio::test
