#pragma once
#include <map>
#include <string>
#include <vector>

namespace brelio::test {

// A tree of folders and files by path: names from the top joined by "/",
// without a leading slash, in UTF-8. A file maps to the lowercase SHA-256
// of its content, a folder to kFolderMark.
using DriveTree = std::map<std::string, std::string>;
inline constexpr char kFolderMark[] = "(folder)";

// What a sync folder holds.
DriveTree LocalTree(const std::wstring& root);
// What the stand-in's drive of the session holds, the trash left out.
DriveTree RemoteTree(const std::string& session);

// Each path the two trees disagree on, one line each; empty when equal.
std::string TreeDifference(const DriveTree& expected, const DriveTree& actual);

// The items of the tree whose name begins with "$$$": temporary files of
// the client's own.
std::vector<std::string> TemporaryItems(const DriveTree& tree);
// The conflict copies whose content equals the item they were copied from.
std::vector<std::string> IdenticalConflictCopies(const DriveTree& tree);

// The item under a new path: itself and everything below it.
void MoveInTree(DriveTree& tree, const std::string& from, const std::string& to);
void EraseFromTree(DriveTree& tree, const std::string& path);

}  // namespace brelio::test
