#include "DriveTree.h"

#include <windows.h>

#include "BrelioCore/TextConvert.h"
#include "Sha256.h"
#include "StandinControl.h"

namespace brelio::test {

namespace {

constexpr char kConflictMark[] = "(conflicted and copied from ";

void AddFolder(DriveTree& tree, const std::wstring& folder, const std::string& prefix) {
    WIN32_FIND_DATAW data;
    const HANDLE find = ::FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring full = folder + L"\\" + name;
        const std::string path = prefix + WideToUtf8(name);
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            tree[path] = kFolderMark;
            AddFolder(tree, full, path + "/");
        } else {
            tree[path] = Sha256HexOfFile(full);
        }
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
}

std::string LastName(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool IsBelow(const std::string& path, const std::string& folder) {
    return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 && path[folder.size()] == '/';
}

}  // namespace

DriveTree LocalTree(const std::wstring& root) {
    DriveTree tree;
    AddFolder(tree, root, "");
    return tree;
}

DriveTree RemoteTree(const std::string& session) {
    DriveTree tree;
    const Json::Value answer = ControlGet("/tree?session=" + session);
    for (const Json::Value& item : answer["items"]) {
        if (item["trashed"].asBool()) continue;
        std::string path = item["path"].asString();
        while (!path.empty() && path.front() == '/') path.erase(0, 1);
        if (path.empty()) continue;
        tree[path] = item["type"].asString() == "file" ? item["hash"].asString() : std::string(kFolderMark);
    }
    return tree;
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
