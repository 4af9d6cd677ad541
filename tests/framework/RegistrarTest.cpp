#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "BrelioCore/UniqueHandle.h"
#include "BrelioFramework/Module.h"
#include "BrelioFramework/Registrar.h"
#include "FrameworkTestIds.h"

namespace {

constexpr wchar_t kRoot[] = L"Software\\Brelio Framework Test";

bool KeyExists(const std::wstring& path) {
    brelio::UniqueRegKey key;
    return ::RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, key.Put()) == ERROR_SUCCESS;
}

std::wstring ReadString(const std::wstring& path, const wchar_t* name) {
    wchar_t text[512] = L"";
    DWORD bytes = sizeof(text);
    if (::RegGetValueW(HKEY_CURRENT_USER, path.c_str(), name, RRF_RT_REG_SZ, nullptr, text, &bytes) != ERROR_SUCCESS) {
        return L"(none)";
    }
    return text;
}

DWORD ReadDword(const std::wstring& path, const wchar_t* name) {
    DWORD value = 0;
    DWORD bytes = sizeof(value);
    ::RegGetValueW(HKEY_CURRENT_USER, path.c_str(), name, RRF_RT_REG_DWORD, nullptr, &value, &bytes);
    return value;
}

class RegistrarTest : public ::testing::Test {
protected:
    void SetUp() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, kRoot); }
    void TearDown() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, kRoot); }
};

const wchar_t kScript[] = LR"(
HKCU
{
    NoRemove Software
    {
        NoRemove 'Brelio Framework Test'
        {
            ForceRemove {6A1F0E10-0000-4000-8000-000000000001} = s 'Described ''quoted'''
            {
                InprocServer32 = s '%MODULE%'
                {
                    val ThreadingModel = s 'Apartment'
                }
                Version = s '1.0'
                val Count = d '0x10'
                val Path = e '%%TEMP%%\x'
            }
            Plain
            {
                Inner = s 'i'
            }
            Delete Gone
        }
    }
}
)";

}  // namespace

TEST_F(RegistrarTest, RegistersKeysValuesAndReplacementsThenRemovesWhatItOwns) {
    const std::wstring root = kRoot;
    const std::wstring clsid = root + L"\\{6A1F0E10-0000-4000-8000-000000000001}";
    // Left over from an earlier registration: replaced whole.
    ::RegSetKeyValueW(HKEY_CURRENT_USER, (clsid + L"\\Stale").c_str(), nullptr, REG_SZ, L"x", 4);
    ::RegSetKeyValueW(HKEY_CURRENT_USER, (root + L"\\Gone").c_str(), nullptr, REG_SZ, L"x", 4);
    // Someone else's value in a plain key keeps that key.
    ::RegSetKeyValueW(HKEY_CURRENT_USER, (root + L"\\Plain").c_str(), L"Theirs", REG_SZ, L"y", 4);

    ATL::CRegistrar registrar;
    registrar.AddReplacement(L"MODULE", L"C:\\Program Files\\Brelio\\x.dll");
    ASSERT_EQ(registrar.StringRegister(kScript), S_OK);
    EXPECT_EQ(ReadString(clsid, nullptr), L"Described 'quoted'");
    EXPECT_EQ(ReadString(clsid + L"\\InprocServer32", nullptr), L"C:\\Program Files\\Brelio\\x.dll");
    EXPECT_EQ(ReadString(clsid + L"\\InprocServer32", L"ThreadingModel"), L"Apartment");
    EXPECT_EQ(ReadString(clsid + L"\\Version", nullptr), L"1.0");
    EXPECT_EQ(ReadDword(clsid, L"Count"), 16u);
    EXPECT_FALSE(KeyExists(clsid + L"\\Stale"));
    EXPECT_FALSE(KeyExists(root + L"\\Gone"));
    EXPECT_EQ(ReadString(root + L"\\Plain\\Inner", nullptr), L"i");

    ASSERT_EQ(registrar.StringUnregister(kScript), S_OK);
    EXPECT_FALSE(KeyExists(clsid));
    EXPECT_FALSE(KeyExists(root + L"\\Plain\\Inner"));
    EXPECT_TRUE(KeyExists(root + L"\\Plain")) << "it holds a value of someone else";
    EXPECT_TRUE(KeyExists(root)) << "NoRemove";
    EXPECT_TRUE(KeyExists(L"Software"));
    // Unregistering again finds nothing to do.
    EXPECT_EQ(registrar.StringUnregister(kScript), S_OK);
}

TEST_F(RegistrarTest, ScriptFromAResourceWithAReplacement) {
    ATL::CRegistrar registrar;
    registrar.AddReplacement(L"WHO", L"resource script");
    ASSERT_EQ(registrar.ResourceRegister(ATL::GetModuleInstance(), IDR_TEST_SCRIPT), S_OK);
    EXPECT_EQ(ReadString(std::wstring(kRoot) + L"\\Script", nullptr), L"resource script");
    ASSERT_EQ(registrar.ResourceUnregister(ATL::GetModuleInstance(), IDR_TEST_SCRIPT), S_OK);
    EXPECT_FALSE(KeyExists(std::wstring(kRoot) + L"\\Script"));
    EXPECT_EQ(registrar.ResourceRegister(ATL::GetModuleInstance(), 9999),
              HRESULT_FROM_WIN32(ERROR_RESOURCE_NAME_NOT_FOUND));
}

TEST_F(RegistrarTest, BadScriptsAreRefusedBeforeAnythingIsWritten) {
    const wchar_t* bad[] = {
        L"HKXX { Key }",                                      // unknown root
        L"HKCU { Software { 'Brelio Framework Test' ",        // block never closed
        L"HKCU { 'Brelio Framework Test' = q 'x' }",          // unknown value type
        L"HKCU { 'Brelio Framework Test' = d 'ten' }",        // not a number
        L"HKCU { 'Brelio Framework Test' = s '%UNKNOWN%' }",  // no such replacement
        L"HKCU { 'Brelio Framework Test' = s 'open }",        // text never ended
        L"HKCU { val Name = s 'x' }",                         // a value outside any key
    };
    for (const wchar_t* script : bad) {
        ATL::CRegistrar registrar;
        EXPECT_EQ(registrar.StringRegister(script), HRESULT_FROM_WIN32(ERROR_INVALID_DATA)) << script;
        EXPECT_FALSE(KeyExists(kRoot)) << script;
    }
}

TEST_F(RegistrarTest, PerUserModeWritesClassesUnderTheCurrentUser) {
    const wchar_t script[] = L"HKCR { NoRemove CLSID { ForceRemove {6A1F0E10-0000-4000-8000-000000000002} = s 'per user' } }";
    ATL::CRegistrar registrar;
    registrar.SetPerUser(true);
    ASSERT_EQ(registrar.StringRegister(script), S_OK);
    const std::wstring key = L"Software\\Classes\\CLSID\\{6A1F0E10-0000-4000-8000-000000000002}";
    EXPECT_EQ(ReadString(key, nullptr), L"per user");
    ASSERT_EQ(registrar.StringUnregister(script), S_OK);
    EXPECT_FALSE(KeyExists(key));
    EXPECT_TRUE(KeyExists(L"Software\\Classes\\CLSID"));
}
