#include <gtest/gtest.h>

#include <string>

#include "BrelioSync/LocalName.h"

namespace {

struct NameCase {
    const wchar_t* name;
    bool safe;
};

void PrintTo(const NameCase& c, std::ostream* os) {
    for (const wchar_t* p = c.name; *p != L'\0'; ++p) *os << (*p < 0x80 ? static_cast<char>(*p) : '?');
}

class LocalNames : public ::testing::TestWithParam<NameCase> {};

TEST_P(LocalNames, OnlyPlainNamesReachTheFolder) {
    const NameCase c = GetParam();
    EXPECT_EQ(IsSafeLocalName(c.name), c.safe);
    std::wstring path;
    const HRESULT hr = JoinRemoteName(L"C:\\Sync\\docs", c.name, path);
    if (c.safe) {
        EXPECT_EQ(hr, S_OK);
        EXPECT_EQ(path, std::wstring(L"C:\\Sync\\docs\\") + c.name);
    } else {
        EXPECT_EQ(hr, HRESULT_FROM_WIN32(ERROR_INVALID_NAME));
        EXPECT_TRUE(path.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Names, LocalNames,
    ::testing::Values(NameCase{L"plan.docx", true}, NameCase{L"..x", true}, NameCase{L"a b", true},
                      NameCase{L"계획서.txt", true}, NameCase{L"CONSOLE.txt", true}, NameCase{L"COM0", true},
                      NameCase{L"", false}, NameCase{L".", false}, NameCase{L"..", false},
                      NameCase{L"..\\x", false}, NameCase{L"a\\b", false}, NameCase{L"a/b", false},
                      NameCase{L"a:b", false}, NameCase{L"C:", false}, NameCase{L"C:\\Windows", false},
                      NameCase{L"\\\\server\\share", false}, NameCase{L"a*b", false}, NameCase{L"a?b", false},
                      NameCase{L"a<b", false}, NameCase{L"a>b", false}, NameCase{L"a|b", false},
                      NameCase{L"a\"b", false}, NameCase{L"a\tb", false}, NameCase{L"name.", false},
                      NameCase{L"name ", false}, NameCase{L"CON", false}, NameCase{L"nul.txt", false},
                      NameCase{L"Lpt9", false}, NameCase{L"aux .txt", false},
                      NameCase{L"$$$brelio-0123456789abcdef.tmp", false}, NameCase{L"$$$1234.tmp", true}));

TEST(LocalNames, OverLongNamesAndPaths) {
    const std::wstring longName(256, L'a');
    EXPECT_FALSE(IsSafeLocalName(longName.c_str()));
    const std::wstring name(200, L'b');
    std::wstring path;
    const std::wstring folder = L"C:\\" + std::wstring(100, L'c');
    EXPECT_EQ(JoinRemoteName(folder.c_str(), name.c_str(), path),
              HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE));
}

TEST(LocalNames, RelativePathsAreCheckedPerComponent) {
    EXPECT_TRUE(IsSafeRelativePath(L"docs\\2026\\plan.txt"));
    EXPECT_FALSE(IsSafeRelativePath(L"docs\\..\\..\\x"));
    EXPECT_FALSE(IsSafeRelativePath(L"\\docs"));
    EXPECT_FALSE(IsSafeRelativePath(L"docs\\"));
    EXPECT_FALSE(IsSafeRelativePath(L"C:\\docs"));
    EXPECT_FALSE(IsSafeRelativePath(L""));
    std::wstring path;
    EXPECT_EQ(JoinRemoteRelativePath(L"C:\\Sync", L"a\\..\\..\\b", path), HRESULT_FROM_WIN32(ERROR_INVALID_NAME));
    EXPECT_EQ(JoinRemoteRelativePath(L"C:\\Sync", L"a\\b", path), S_OK);
    EXPECT_EQ(path, L"C:\\Sync\\a\\b");
}

}  // namespace
