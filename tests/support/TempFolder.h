#pragma once
#include <string>

namespace brelio::test {

// A fresh folder under the temporary folder, removed with its contents.
class CTempFolder {
public:
    CTempFolder() = default;
    ~CTempFolder();
    CTempFolder(const CTempFolder&) = delete;
    CTempFolder& operator=(const CTempFolder&) = delete;

    bool Create();
    const std::wstring& Path() const { return m_path; }
    std::wstring operator/(const std::wstring& name) const { return m_path + L"\\" + name; }

private:
    std::wstring m_path;
};

void RemoveTree(const std::wstring& path);
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
std::string ReadFileBytes(const std::wstring& path);
bool FileExists(const std::wstring& path);
// Names in a folder matching a wildcard pattern.
size_t CountMatching(const std::wstring& folder, const std::wstring& pattern);

}  // namespace brelio::test
