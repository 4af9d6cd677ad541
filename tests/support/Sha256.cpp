#include "Sha256.h"

#include <windows.h>
#include <bcrypt.h>

#include <vector>

#include "BrelioCore/UniqueHandle.h"

namespace brelio::test {
namespace {

class CHasher {
public:
    CHasher() {
        if (BCryptOpenAlgorithmProvider(&m_algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0) == 0)
            BCryptCreateHash(m_algorithm, &m_hash, nullptr, 0, nullptr, 0, 0);
    }
    ~CHasher() {
        if (m_hash) BCryptDestroyHash(m_hash);
        if (m_algorithm) BCryptCloseAlgorithmProvider(m_algorithm, 0);
    }
    void Add(const void* data, size_t length) {
        if (m_hash) BCryptHashData(m_hash, static_cast<PUCHAR>(const_cast<void*>(data)), static_cast<ULONG>(length), 0);
    }
    std::string Hex() {
        unsigned char digest[32] = {};
        if (!m_hash || BCryptFinishHash(m_hash, digest, sizeof(digest), 0) != 0) return {};
        static const char kHex[] = "0123456789abcdef";
        std::string out;
        for (unsigned char b : digest) {
            out += kHex[b >> 4];
            out += kHex[b & 15];
        }
        return out;
    }

private:
    BCRYPT_ALG_HANDLE m_algorithm = nullptr;
    BCRYPT_HASH_HANDLE m_hash = nullptr;
};

}  // namespace

std::string Sha256Hex(const std::string& bytes) {
    CHasher hasher;
    hasher.Add(bytes.data(), bytes.size());
    return hasher.Hex();
}

std::string Sha256HexOfFile(const std::wstring& path) {
    UniqueKernelHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return {};
    CHasher hasher;
    std::vector<unsigned char> chunk(1 << 20);
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(file.Get(), chunk.data(), static_cast<DWORD>(chunk.size()), &read, nullptr)) return {};
        if (read == 0) break;
        hasher.Add(chunk.data(), read);
    }
    return hasher.Hex();
}

}  // namespace brelio::test
