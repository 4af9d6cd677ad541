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

// One item below a local folder as a walk finds it, no file opened: its
// path in the tree, its full path and whether it is a folder.
struct LocalItem {
    std::string path;
    std::wstring fullPath;
    bool isFolder = false;
};
// Every item below the folder, each folder before what it holds. Paths of
// any length are walked.
std::vector<LocalItem> LocalItems(const std::wstring& root);

// What a local folder holds.
DriveTree LocalTree(const std::wstring& root);

enum class TrashedItems { LeftOut, Included };
// What the stand-in's drive of the session holds.
DriveTree RemoteTree(const std::string& session, TrashedItems trashed = TrashedItems::LeftOut);

// The files of the tree, its folders left out.
DriveTree FilesOf(const DriveTree& tree);
// The last name of a path.
std::string LastName(const std::string& path);
// Some item of the tree, anywhere, has the name.
bool HasItemNamed(const DriveTree& tree, const std::string& name);

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
