#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "BrelioCore/UniqueHandle.h"

// Value names in the order the registry hands them out. Windows keeps the
// order they were written in; Wine sorts them by name.
inline std::vector<std::wstring> ValueNamesInRegistryOrder(HKEY key) {
    std::vector<std::wstring> names;
    for (DWORD index = 0;; ++index) {
        wchar_t name[16384];
        DWORD length = 16384;
        if (::RegEnumValueW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.emplace_back(name, length);
    }
    return names;
}

// A registry key of the test's own under HKCU, gone before and after: tests
// that only need some key run beside each other without a lock.
class PrivateKeyTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_path = L"Software\\BrelioSettingsTests\\";
        for (const char* p : {info->test_suite_name(), ".", info->name()})
            for (; *p; ++p) m_path += static_cast<wchar_t>(*p);
        m_path += L"-" + std::to_wstring(::GetCurrentProcessId());
        ::RegDeleteTreeW(HKEY_CURRENT_USER, m_path.c_str());
        ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, m_path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                    m_owner.Put(), nullptr),
                  ERROR_SUCCESS);
        m_key = m_owner.Get();
    }
    void TearDown() override {
        m_owner.Reset();
        m_key = nullptr;
        ::RegDeleteTreeW(HKEY_CURRENT_USER, m_path.c_str());
    }

    void Write(const wchar_t* name, DWORD type, const void* data, DWORD size) {
        ASSERT_EQ(::RegSetValueExW(m_key, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
    }

    std::wstring m_path;
    brelio::UniqueRegKey m_owner;
    HKEY m_key = nullptr;  // the owner's key, for the calls under test
};
