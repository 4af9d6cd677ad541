#pragma once
#include <windows.h>

#include <cstddef>
#include <string>

// The digest a content hash text of the service stands for. The service
// does not name its algorithm: the text's form tells it (its count of
// hexadecimal digits).
enum class ContentDigest { Unknown, Md5, Sha1, Sha256 };

// 32 hexadecimal digits: MD5; 40: SHA-1; 64: SHA-256; anything else,
// including a text with other characters, is unknown.
[[nodiscard]] ContentDigest DigestOfHashText(const std::string& hashText);

// The digest of the bytes as lowercase hexadecimal text. E_INVALIDARG for an
// unknown digest; the system's error when the digest cannot be computed.
[[nodiscard]] HRESULT HashBytes(ContentDigest digest, const void* data, size_t length, std::string& hex);

// The same for everything an open file holds from its current position on.
[[nodiscard]] HRESULT HashFileContent(ContentDigest digest, HANDLE file, std::string& hex);

// True when the content of the open file has the hash text, compared
// without regard to letter case. False for a text of unknown form and for
// content that could not be read: an unknown is never a match.
[[nodiscard]] bool FileContentMatches(HANDLE file, const std::string& hashText);
