#include <gtest/gtest.h>

#include "BrelioCore/TextConvert.h"

using namespace brelio;

TEST(TextConvert, Utf8RoundTripKeepsEveryCharacter) {
    const std::wstring text = L"a\u00e9\u3042\U0001F600z";
    const std::string utf8 = WideToUtf8(text);
    EXPECT_EQ(utf8, "a\xc3\xa9\xe3\x81\x82\xf0\x9f\x98\x80z");
    EXPECT_EQ(Utf8ToWide(utf8), text);
}

TEST(TextConvert, InvalidUtf8GivesReplacementNotGarbage) {
    // Windows replaces an invalid sequence rather than failing the whole text.
    const std::wstring wide = Utf8ToWide("a\xff" "b");
    EXPECT_EQ(wide.front(), L'a');
    EXPECT_EQ(wide.back(), L'b');
}

TEST(TextConvert, CopyTerminatedCutsAndAlwaysTerminates) {
    struct Case {
        const wchar_t* text;
        size_t capacity;
        const wchar_t* expected;
        bool fits;
    } cases[] = {
        {L"abc", 4, L"abc", true},
        {L"abcd", 4, L"abc", false},
        {L"", 1, L"", true},
        // A surrogate pair is never split at the cut.
        {L"ab\U0001F600", 4, L"ab", false},
    };
    for (const Case& c : cases) {
        wchar_t buffer[8];
        std::fill(std::begin(buffer), std::end(buffer), L'#');
        EXPECT_EQ(CopyTerminated(buffer, c.capacity, c.text), c.fits) << c.text;
        EXPECT_STREQ(buffer, c.expected);
    }
}

TEST(TextConvert, AnsiUsesReplacementForForeignCharacters) {
    const std::string ansi = WideToAnsi(L"x\u3042y");
    ASSERT_EQ(ansi.size(), 3u);
    EXPECT_EQ(ansi[0], 'x');
    EXPECT_EQ(ansi[2], 'y');
}
