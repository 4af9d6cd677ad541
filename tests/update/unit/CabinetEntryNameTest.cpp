// Which cabinet entry names may be written.
#include <gtest/gtest.h>

#include "BrelioCore/TextConvert.h"
#include "BrelioUpdate/CabinetEntryName.h"

namespace {

TEST(CabinetEntryName, OnlyPlainRelativeNamesAreSafe) {
    const struct {
        const wchar_t* name;
        bool safe;
    } cases[] = {
        {L"BrelioDrive.exe", true},
        {L"sub\\file.txt", true},
        {L"sub/file.txt", true},
        {L"\uB3C4\uC6C0\uB9D0\\\uC548\uB0B4 \u00FC.txt", true},
        {L"a..b.txt", true},
        {L"CONFIG.txt", true},
        {L"..\\escaped.txt", false},
        {L"sub\\..\\..\\escaped.txt", false},
        {L"sub/../escaped.txt", false},
        {L"..", false},
        {L".\\file.txt", false},
        {L"C:\\escaped.txt", false},
        {L"C:escaped.txt", false},
        {L"file.txt:stream", false},
        {L"\\escaped.txt", false},
        {L"/escaped.txt", false},
        {L"\\\\server\\share\\escaped.txt", false},
        {L"sub\\\\file.txt", false},
        {L"sub\\", false},
        {L"sub\\file.txt.", false},
        {L"sub\\file.txt ", false},
        {L"...\\file.txt", false},
        {L"CON", false},
        {L"sub\\nul.txt", false},
        {L"COM1.log", false},
        {L"COM\u00B9", false},
        {L"sub\\lpt\u00B2.txt", false},
        {L"Com\u00B3.log", false},
        {L"COM\u00B9x.txt", true},
        // The names the install gives its own copies beside each file.
        {L"BrelioDrive.exe.BrelioUpdate-old", false},
        {L"sub\\notes.txt.BrelioUpdate-new", false},
        {L"BrelioShellExt.dll.brelioupdate-OLD-2", false},
        {L"BrelioUpdate-notes.txt", true},
        {L"a?b", false},
        {L"", false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsSafeCabinetEntryName(c.name), c.safe) << brelio::WideToUtf8(c.name);
}

TEST(CabinetEntryName, NamesAreReadAsUtf8Only) {
    std::wstring name;
    ASSERT_TRUE(DecodeCabinetEntryName("\xED\x8F\xB4\xEB\x8D\x94\\\xED\x8C\x8C\xEC\x9D\xBC.txt", name));
    EXPECT_EQ(name, L"\uD3F4\uB354\\\uD30C\uC77C.txt");
    ASSERT_TRUE(DecodeCabinetEntryName("plain\\name.txt", name));
    EXPECT_EQ(name, L"plain\\name.txt");
    // A name in some code page is not guessed at.
    EXPECT_FALSE(DecodeCabinetEntryName("caf\xE9.txt", name));
    EXPECT_FALSE(DecodeCabinetEntryName("", name));
    EXPECT_FALSE(DecodeCabinetEntryName(nullptr, name));
}

}  // namespace
