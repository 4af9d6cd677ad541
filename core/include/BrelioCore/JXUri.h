#pragma once
#include <string>

// A request address built up from pieces.
class CJXUri {
public:
    CJXUri() = default;
    explicit CJXUri(const wchar_t* text) : m_text(text ? text : L"") {}
    explicit CJXUri(std::wstring text) : m_text(std::move(text)) {}

    CJXUri& operator=(const wchar_t* text) {
        m_text = text ? text : L"";
        return *this;
    }
    CJXUri& operator=(const std::wstring& text) {
        m_text = text;
        return *this;
    }

    void Append(const wchar_t* text) {
        if (text) m_text += text;
    }
    void Append(const std::wstring& text) { m_text += text; }
    // Wide printf: %s is wide text, %hs narrow text.
    bool AppendFormat(const wchar_t* format, ...);

    const std::wstring& Text() const { return m_text; }
    const wchar_t* c_str() const { return m_text.c_str(); }

private:
    std::wstring m_text;
};
