// Content hashes of local files, to compare with the service's.
#include "BrelioServices/ContentHash.h"

#include <bcrypt.h>

#include <cstring>
#include <vector>

#include "BrelioCore/UniqueHandle.h"

namespace {

struct AlgorithmTraits {
    using Handle = BCRYPT_ALG_HANDLE;
    static Handle Empty() noexcept { return nullptr; }
    static bool IsValid(Handle h) noexcept { return h != nullptr; }
    static void Close(Handle h) noexcept { ::BCryptCloseAlgorithmProvider(h, 0); }
};

struct HashTraits {
    using Handle = BCRYPT_HASH_HANDLE;
    static Handle Empty() noexcept { return nullptr; }
    static bool IsValid(Handle h) noexcept { return h != nullptr; }
    static void Close(Handle h) noexcept { ::BCryptDestroyHash(h); }
};

constexpr DWORD kChunkBytes = 1 << 20;

HRESULT FromStatus(NTSTATUS status) { return status >= 0 ? S_OK : HRESULT_FROM_NT(status); }

bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// One running digest, fed in pieces.
class CDigest {
public:
    HRESULT Open(ContentDigest digest) {
        const wchar_t* algorithm = nullptr;
        switch (digest) {
            case ContentDigest::Md5: algorithm = BCRYPT_MD5_ALGORITHM; m_length = 16; break;
            case ContentDigest::Sha1: algorithm = BCRYPT_SHA1_ALGORITHM; m_length = 20; break;
            case ContentDigest::Sha256: algorithm = BCRYPT_SHA256_ALGORITHM; m_length = 32; break;
            default: return E_INVALIDARG;
        }
        BCRYPT_ALG_HANDLE provider = nullptr;
        HRESULT hr = FromStatus(::BCryptOpenAlgorithmProvider(&provider, algorithm, nullptr, 0));
        if (FAILED(hr)) return hr;
        m_provider.Reset(provider);
        BCRYPT_HASH_HANDLE hash = nullptr;
        hr = FromStatus(::BCryptCreateHash(m_provider.Get(), &hash, nullptr, 0, nullptr, 0, 0));
        if (FAILED(hr)) return hr;
        m_hash.Reset(hash);
        return S_OK;
    }

    HRESULT Add(const void* data, ULONG length) {
        if (length == 0) return S_OK;
        return FromStatus(::BCryptHashData(m_hash.Get(), static_cast<PUCHAR>(const_cast<void*>(data)), length, 0));
    }

    HRESULT Finish(std::string& hex) {
        unsigned char digest[32] = {};
        const HRESULT hr = FromStatus(::BCryptFinishHash(m_hash.Get(), digest, m_length, 0));
        if (FAILED(hr)) return hr;
        static const char kDigits[] = "0123456789abcdef";
        hex.clear();
        for (ULONG i = 0; i < m_length; ++i) {
            hex += kDigits[digest[i] >> 4];
            hex += kDigits[digest[i] & 15];
        }
        return S_OK;
    }

private:
    brelio::UniqueHandle<AlgorithmTraits> m_provider;
    brelio::UniqueHandle<HashTraits> m_hash;
    ULONG m_length = 0;
};

}  // namespace

ContentDigest DigestOfHashText(const std::string& hashText) {
    for (char c : hashText)
        if (!IsHexDigit(c)) return ContentDigest::Unknown;
    switch (hashText.size()) {
        case 32: return ContentDigest::Md5;
        case 40: return ContentDigest::Sha1;
        case 64: return ContentDigest::Sha256;
        default: return ContentDigest::Unknown;
    }
}

HRESULT HashBytes(ContentDigest digest, const void* data, size_t length, std::string& hex) {
    CDigest running;
    HRESULT hr = running.Open(digest);
    if (FAILED(hr)) return hr;
    const auto* bytes = static_cast<const unsigned char*>(data);
    while (length > 0) {
        const ULONG piece = length > kChunkBytes ? kChunkBytes : static_cast<ULONG>(length);
        hr = running.Add(bytes, piece);
        if (FAILED(hr)) return hr;
        bytes += piece;
        length -= piece;
    }
    return running.Finish(hex);
}

HRESULT HashFileContent(ContentDigest digest, HANDLE file, std::string& hex) {
    CDigest running;
    HRESULT hr = running.Open(digest);
    if (FAILED(hr)) return hr;
    std::vector<unsigned char> chunk(kChunkBytes);
    for (;;) {
        DWORD read = 0;
        if (!::ReadFile(file, chunk.data(), kChunkBytes, &read, nullptr)) return HRESULT_FROM_WIN32(::GetLastError());
        if (read == 0) break;
        hr = running.Add(chunk.data(), read);
        if (FAILED(hr)) return hr;
    }
    return running.Finish(hex);
}

bool FileContentMatches(HANDLE file, const std::string& hashText) {
    const ContentDigest digest = DigestOfHashText(hashText);
    if (digest == ContentDigest::Unknown) return false;
    std::string local;
    if (FAILED(HashFileContent(digest, file, local))) return false;
    return _stricmp(local.c_str(), hashText.c_str()) == 0;
}
