#pragma once
#include <windows.h>

#include <string>

// Real folders and files for the tests, in the prefix's temporary folder.

// A new, empty folder of its own for one test.
std::wstring MakeScratchFolder();
// Removes a folder with everything in it, or a file; missing is fine.
void RemoveTree(const std::wstring& path);
void WriteTextFile(const std::wstring& path, const char* text);
bool PathExists(const std::wstring& path);
bool IsFolder(const std::wstring& path);
std::wstring ThisProgramPath();
// The folder of the test program (helpers are built beside it).
std::wstring ThisProgramFolder();
// Milliseconds since an arbitrary start, for loose bounds on waits.
ULONGLONG NowMs();

// Removes a folder tree when the test ends, whatever it asserted.
class ScopedTree {
public:
    explicit ScopedTree(std::wstring path) : m_path(std::move(path)) {}
    ~ScopedTree() { RemoveTree(m_path); }
    ScopedTree(const ScopedTree&) = delete;
    ScopedTree& operator=(const ScopedTree&) = delete;
    const std::wstring& Path() const { return m_path; }

private:
    std::wstring m_path;
};
