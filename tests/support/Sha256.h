#pragma once
#include <string>

namespace brelio::test {

// Lowercase hex SHA-256, as the stand-in reports content hashes.
std::string Sha256Hex(const std::string& bytes);
std::string Sha256HexOfFile(const std::wstring& path);

}  // namespace brelio::test
