// The work directory's "BrelioUpdate.ini".
#include <gtest/gtest.h>

#include "BrelioUpdate/UpdateIni.h"
#include "TempFolder.h"

namespace brelio::test {
namespace {

class UpdateIni : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_folder.Create()); }
    std::wstring IniPath() const { return m_folder / L"BrelioUpdate.ini"; }
    CTempFolder m_folder;
};

TEST_F(UpdateIni, ValuesAreTrimmedAndKeysExact) {
    ASSERT_TRUE(WriteFileBytes(IniPath(),
                               "VERSION=2.0.0.2\r\n"
                               "InstallDir = C:\\App \r\n"
                               "installdir=C:\\Other\r\n"
                               "Empty=\r\n"
                               "==Leading=value\r\n"));
    EXPECT_EQ(GetIniValue(m_folder.Path(), L"InstallDir"), L"C:\\App");
    EXPECT_EQ(GetIniValue(m_folder.Path(), L"VERSION"), L"2.0.0.2");
    EXPECT_EQ(GetIniValue(m_folder.Path(), L"Empty"), L"");
    EXPECT_EQ(GetIniValue(m_folder.Path(), L"Leading"), L"value");
    EXPECT_EQ(GetIniValue(m_folder.Path(), L"Version"), L"") << "keys are compared exactly";
}

TEST_F(UpdateIni, ReadingStopsAtTheFirstEmptyLine) {
    ASSERT_TRUE(WriteFileBytes(IniPath(), "\r\nInstallDir=C:\\App\r\n"));
    EXPECT_EQ(GetIniValue(m_folder.Path(), L"InstallDir"), L"");
    // Writing keeps only what was read: the one new pair.
    ASSERT_TRUE(SetIniValue(m_folder.Path(), L"VERSION", L"2.0.0.2"));
    EXPECT_EQ(ReadFileBytes(IniPath()), "VERSION=2.0.0.2\r\n");
}

TEST_F(UpdateIni, SettingAKeyKeepsTheOthers) {
    ASSERT_TRUE(SetIniValue(m_folder.Path(), L"VERSION", L"2.0.0.2"));
    ASSERT_TRUE(SetIniValue(m_folder.Path(), L"InstallDir", L"C:\\First"));
    ASSERT_TRUE(SetIniValue(m_folder.Path(), L"InstallDir", L"C:\\Second"));
    EXPECT_EQ(GetIniValue(m_folder.Path(), L"VERSION"), L"2.0.0.2");
    EXPECT_EQ(GetIniValue(m_folder.Path(), L"InstallDir"), L"C:\\Second");
}

TEST_F(UpdateIni, NamesOutsideTheCodePageSurviveAsUtf8) {
    const std::wstring folder = L"C:\\users\\\uAE40\uCCA0\uC218\\\u30C9\u30E9\u30A4\u30D6 \u00FC\\Brelio";
    ASSERT_TRUE(SetIniValue(m_folder.Path(), L"InstallDir", folder));
    EXPECT_EQ(GetIniValue(m_folder.Path(), L"InstallDir"), folder);
    EXPECT_NE(ReadFileBytes(IniPath()).find("\xEA\xB9\x80\xEC\xB2\xA0\xEC\x88\x98"), std::string::npos)
        << "written as UTF-8";
}

TEST_F(UpdateIni, ALineBreakInAValueIsRefused) {
    EXPECT_FALSE(SetIniValue(m_folder.Path(), L"InstallDir", L"C:\\App\r\nVERSION=9.9.9.9"));
    EXPECT_EQ(GetIniValue(m_folder.Path(), L"VERSION"), L"");
}

TEST_F(UpdateIni, AMissingFileHasNoValues) {
    EXPECT_EQ(GetIniValue(m_folder.Path(), L"InstallDir"), L"");
    EXPECT_FALSE(SetIniValue(m_folder / L"missing", L"InstallDir", L"C:\\App"));
}

}  // namespace
}  // namespace brelio::test
