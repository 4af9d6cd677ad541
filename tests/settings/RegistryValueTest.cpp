// The one registry reader: what counts as a string or a DWORD, and that a
// refused value never half-fills the caller's variable.
#include <gtest/gtest.h>

#include "BrelioServices/RegistryKey.h"
#include "PrivateKey.h"

namespace {

using RegistryValue = PrivateKeyTest;
using brelio::ReadRegistryDword;
using brelio::ReadRegistryString;

TEST_F(RegistryValue, StringReadRules) {
    const std::wstring atLimit(4095, L'a');
    const std::wstring overLimit(4096, L'a');
    struct Case {
        const char* what;
        DWORD type;
        std::wstring data;  // the characters written...
        DWORD bytes;        // ...and how many bytes of them
        size_t maxLength;
        LSTATUS status;
        const wchar_t* text;  // on success
    } cases[] = {
        {"REG_SZ", REG_SZ, L"abc", 8, 4095, ERROR_SUCCESS, L"abc"},
        {"empty", REG_SZ, L"", 2, 4095, ERROR_SUCCESS, L""},
        {"REG_EXPAND_SZ is not expanded", REG_EXPAND_SZ, L"%SystemRoot%\\x", 30, 4095, ERROR_SUCCESS,
         L"%SystemRoot%\\x"},
        {"embedded NUL ends the text", REG_SZ, std::wstring(L"ab\0cd", 6), 12, 4095, ERROR_SUCCESS, L"ab"},
        {"no terminator", REG_SZ, L"abcX", 6, 4095, ERROR_INVALID_DATA, nullptr},
        {"odd byte count", REG_SZ, L"abcd", 7, 4095, ERROR_INVALID_DATA, nullptr},
        {"no bytes at all", REG_SZ, L"", 0, 4095, ERROR_INVALID_DATA, nullptr},
        {"REG_BINARY", REG_BINARY, L"abc", 8, 4095, ERROR_INVALID_DATATYPE, nullptr},
        {"REG_MULTI_SZ", REG_MULTI_SZ, std::wstring(L"abc\0", 5), 10, 4095, ERROR_INVALID_DATATYPE, nullptr},
        {"REG_DWORD", REG_DWORD, L"ab", 4, 4095, ERROR_INVALID_DATATYPE, nullptr},
        {"4095 characters", REG_SZ, atLimit, 8192, 4095, ERROR_SUCCESS, atLimit.c_str()},
        {"4096 characters", REG_SZ, overLimit, 8194, 4095, ERROR_MORE_DATA, nullptr},
        {"longer than the caller takes", REG_SZ, L"abcdef", 14, 5, ERROR_MORE_DATA, nullptr},
        {"as long as the caller takes", REG_SZ, L"abcde", 12, 5, ERROR_SUCCESS, L"abcde"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Write(L"value", c.type, c.data.c_str(), c.bytes);
        std::wstring text = L"untouched";
        EXPECT_EQ(ReadRegistryString(m_key, L"value", text, c.maxLength), c.status);
        EXPECT_EQ(text, c.text ? c.text : L"untouched");
    }
    std::wstring text = L"untouched";
    EXPECT_EQ(ReadRegistryString(m_key, L"missing", text), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(text, L"untouched");
}

TEST_F(RegistryValue, DwordReadRules) {
    struct Case {
        const char* what;
        DWORD type;
        BYTE bytes[8];
        DWORD size;
        LSTATUS status;
        DWORD value;
    } cases[] = {
        {"REG_DWORD", REG_DWORD, {2, 1, 0, 0}, 4, ERROR_SUCCESS, 0x102},
        {"REG_DWORD_BIG_ENDIAN", REG_DWORD_BIG_ENDIAN, {0, 0, 0, 1}, 4, ERROR_INVALID_DATATYPE, 7},
        {"REG_BINARY of four bytes", REG_BINARY, {1, 0, 0, 0}, 4, ERROR_INVALID_DATATYPE, 7},
        {"REG_SZ", REG_SZ, {'1', 0, 0, 0}, 4, ERROR_INVALID_DATATYPE, 7},
        {"REG_QWORD", REG_QWORD, {1, 0, 0, 0, 0, 0, 0, 0}, 8, ERROR_INVALID_DATATYPE, 7},
        {"REG_DWORD of two bytes", REG_DWORD, {1, 0}, 2, ERROR_INVALID_DATA, 7},
        {"REG_DWORD of eight bytes", REG_DWORD, {1, 0, 0, 0, 0, 0, 0, 0}, 8, ERROR_INVALID_DATA, 7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Write(L"value", c.type, c.bytes, c.size);
        DWORD value = 7;
        EXPECT_EQ(ReadRegistryDword(m_key, L"value", value), c.status);
        EXPECT_EQ(value, c.value);
    }
}

TEST_F(RegistryValue, WriterRefusesWhatNoReaderWouldTake) {
    EXPECT_EQ(brelio::WriteRegistryString(m_key, L"value", std::wstring(4096, L'a')), ERROR_MORE_DATA);
    std::wstring text;
    EXPECT_EQ(ReadRegistryString(m_key, L"value", text), ERROR_FILE_NOT_FOUND);
}

}  // namespace
