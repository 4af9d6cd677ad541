#pragma once
#include <string>

// One line of the driver's output: a JSON object written whole and flushed,
// so that a reader on the other end of the pipe sees it at once.
void WriteJsonLine(const std::string& json);
// A text as a JSON string, quotes included.
std::string JsonText(const std::wstring& text);
std::string JsonText(const std::string& utf8);
std::string HexCode(long code);
