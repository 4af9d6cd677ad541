#pragma once
#include <windows.h>

#include <compare>

// A four-part version number, major first.
class CJXVersion {
public:
    CJXVersion() = default;
    // Reads "a.b.c.d"; missing trailing parts are 0. Text that is not of
    // that form leaves the version empty (all zero).
    explicit CJXVersion(const wchar_t* text);

    // Reads the version resource of a module file; NULL means the module
    // that holds this code. With product set, the product version is read,
    // otherwise the file version.
    HRESULT Load(const wchar_t* path, bool product = false);

    void GetVersion(WORD parts[4]) const;
    bool IsEmpty() const { return m_parts[0] == 0 && m_parts[1] == 0 && m_parts[2] == 0 && m_parts[3] == 0; }

    bool operator==(const CJXVersion& other) const = default;
    std::strong_ordering operator<=>(const CJXVersion& other) const;

private:
    WORD m_parts[4] = {0, 0, 0, 0};
};
