// Start with Windows: the Run value names this very program.
#include <gtest/gtest.h>

#include "BrelioServices/GlobalSettings.h"
#include "BrelioServices/RegistryLayout.h"
#include "ProgramKeys.h"
#include "TestFiles.h"

namespace {

using AutoStart = ProgramKeysTest;

std::wstring Upper(std::wstring text) {
    CharUpperW(text.data());
    return text;
}

TEST_F(AutoStart, CountsOnlyAValueThatNamesThisProgram) {
    const std::wstring program = ThisProgramPath();
    const struct {
        const char* what;
        std::wstring text;
        DWORD type;
        bool enabled;
    } cases[] = {
        {"exact", program, REG_SZ, true},
        {"other letter case", Upper(program), REG_SZ, true},
        {"expandable, as stored", program, REG_EXPAND_SZ, true},
        {"in quotes", L"\"" + program + L"\"", REG_SZ, false},
        {"with an argument", program + L" -x", REG_SZ, false},
        {"another program", L"C:\\Other\\Other.exe", REG_SZ, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WriteRawString(kRunKeyPath, kRunValue, c.text, c.type);
        EXPECT_EQ(IsAutoStartEnabled(), c.enabled);
    }
    // Without its terminator the value is no path at all.
    WriteRaw(kRunKeyPath, kRunValue, REG_SZ, program.c_str(), static_cast<DWORD>(program.size() * sizeof(wchar_t)) - 2);
    EXPECT_FALSE(IsAutoStartEnabled());
}

TEST_F(AutoStart, OnWritesThePathAndOffRemovesIt) {
    EXPECT_FALSE(IsAutoStartEnabled());
    SetAutoStart(true);
    EXPECT_TRUE(IsAutoStartEnabled());
    const RawValue stored = ReadRaw(kRunKeyPath, kRunValue);
    EXPECT_EQ(stored.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(StoredString(stored), ThisProgramPath());

    SetAutoStart(false);
    EXPECT_FALSE(IsAutoStartEnabled());
    EXPECT_EQ(ReadRaw(kRunKeyPath, kRunValue).type, static_cast<DWORD>(REG_NONE));
    SetAutoStart(false);  // nothing to remove: no harm
}

}  // namespace
