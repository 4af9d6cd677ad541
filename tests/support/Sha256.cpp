#include "Sha256.h"

#include <windows.h>

#include "BrelioCore/UniqueHandle.h"
#include "BrelioServices/ContentHash.h"

namespace brelio::test {

std::string Sha256Hex(const std::string& bytes) {
    std::string hex;
    return SUCCEEDED(HashBytes(ContentDigest::Sha256, bytes.data(), bytes.size(), hex)) ? hex : std::string();
}

std::string Sha256HexOfFile(const std::wstring& path) {
    UniqueKernelHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return {};
    std::string hex;
    return SUCCEEDED(HashFileContent(ContentDigest::Sha256, file.Get(), hex)) ? hex : std::string();
}

}  // namespace brelio::test
