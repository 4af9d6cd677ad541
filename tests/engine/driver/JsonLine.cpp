#include "JsonLine.h"

#include <windows.h>

#include <cstdio>

#include "BrelioCore/TextConvert.h"

void WriteJsonLine(const std::string& json) {
    const std::string line = json + "\n";
    DWORD written = 0;
    ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

std::string JsonText(const std::string& utf8) {
    std::string out = "\"";
    for (const char c : utf8) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof(escaped), "\\u%04x", u);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string JsonText(const std::wstring& text) { return JsonText(brelio::WideToUtf8(text)); }

std::string HexCode(long code) {
    char text[16];
    std::snprintf(text, sizeof(text), "0x%08lx", static_cast<unsigned long>(code));
    return JsonText(std::string(text));
}
