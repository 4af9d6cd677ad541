#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "BrelioCore/UniqueHandle.h"
#include "BrelioServices/ContentHash.h"
#include "TempFolder.h"

using namespace brelio::test;

namespace {

// The stand-in's generated content: byte i is (i*7+13) & 0xff. 3 MiB and 5
// bytes cross the hashing's 1 MiB reads.
std::string Generated(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7 + 13) & 0xff);
    return bytes;
}

const std::string kQuickFox = "The quick brown fox jumps over the lazy dog";
const std::string kTwoBlocks = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";

struct Vector {
    const char* name;
    ContentDigest digest;
    std::string input;
    const char* hex;
};

void PrintTo(const Vector& v, std::ostream* os) { *os << v.name; }

class KnownVectors : public ::testing::TestWithParam<Vector> {};

TEST_P(KnownVectors, BytesAndFileGiveTheDigest) {
    const Vector& v = GetParam();
    std::string hex;
    ASSERT_EQ(HashBytes(v.digest, v.input.data(), v.input.size(), hex), S_OK);
    EXPECT_EQ(hex, v.hex);
    EXPECT_EQ(DigestOfHashText(v.hex), v.digest) << "the form of the digest names it";

    CTempFolder folder;
    ASSERT_TRUE(folder.Create());
    const std::wstring path = folder / L"content.bin";
    ASSERT_TRUE(WriteFileBytes(path, v.input));
    brelio::UniqueKernelHandle file(
        ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(file);
    ASSERT_EQ(HashFileContent(v.digest, file.Get(), hex), S_OK);
    EXPECT_EQ(hex, v.hex);
}

INSTANTIATE_TEST_SUITE_P(
    Digests, KnownVectors,
    ::testing::Values(
        Vector{"Md5Empty", ContentDigest::Md5, "", "d41d8cd98f00b204e9800998ecf8427e"},
        Vector{"Md5Abc", ContentDigest::Md5, "abc", "900150983cd24fb0d6963f7d28e17f72"},
        Vector{"Md5QuickFox", ContentDigest::Md5, kQuickFox, "9e107d9d372bb6826bd81d3542a419d6"},
        Vector{"Md5MillionA", ContentDigest::Md5, std::string(1000000, 'a'), "7707d6ae4e027c70eea2a935c2296f21"},
        Vector{"Md5Generated", ContentDigest::Md5, Generated(3 * 1048576 + 5), "24c6644e72f7e62abb790b558519c9a3"},
        Vector{"Sha1Empty", ContentDigest::Sha1, "", "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
        Vector{"Sha1Abc", ContentDigest::Sha1, "abc", "a9993e364706816aba3e25717850c26c9cd0d89d"},
        Vector{"Sha1TwoBlocks", ContentDigest::Sha1, kTwoBlocks, "84983e441c3bd26ebaae4aa1f95129e5e54670f1"},
        Vector{"Sha1MillionA", ContentDigest::Sha1, std::string(1000000, 'a'),
               "34aa973cd4c4daa4f61eeb2bdbad27316534016f"},
        Vector{"Sha1Generated", ContentDigest::Sha1, Generated(3 * 1048576 + 5),
               "9fe1498246c8a80a2585068778c6a97de31c69dc"},
        Vector{"Sha256Empty", ContentDigest::Sha256, "",
               "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        Vector{"Sha256Abc", ContentDigest::Sha256, "abc",
               "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        Vector{"Sha256TwoBlocks", ContentDigest::Sha256, kTwoBlocks,
               "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        Vector{"Sha256MillionA", ContentDigest::Sha256, std::string(1000000, 'a'),
               "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
        Vector{"Sha256Generated", ContentDigest::Sha256, Generated(3 * 1048576 + 5),
               "6ac3fa6ab579d26a723f7cc3279ffeab8dedc68855a2691c3ffaecbca1e26ae1"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ContentHash, TheFormOfTheTextNamesTheDigest) {
    const struct {
        std::string text;
        ContentDigest digest;
    } cases[] = {
        {std::string(32, 'a'), ContentDigest::Md5},
        {std::string(40, '0'), ContentDigest::Sha1},
        {std::string(64, 'F'), ContentDigest::Sha256},
        {"E3B0C44298FC1C149AFBF4C8996FB92427AE41E4649B934CA495991B7852B855", ContentDigest::Sha256},
        {"", ContentDigest::Unknown},
        {std::string(63, 'a'), ContentDigest::Unknown},
        {std::string(65, 'a'), ContentDigest::Unknown},
        {std::string(128, 'a'), ContentDigest::Unknown},
        {std::string(63, 'a') + "g", ContentDigest::Unknown},
        {std::string(31, 'a') + " ", ContentDigest::Unknown},
        {"sha256:" + std::string(57, 'a'), ContentDigest::Unknown},
    };
    for (const auto& c : cases) EXPECT_EQ(DigestOfHashText(c.text), c.digest) << c.text;
    std::string hex = "untouched";
    EXPECT_EQ(HashBytes(ContentDigest::Unknown, "abc", 3, hex), E_INVALIDARG);
}

TEST(ContentHash, AFileMatchesItsHashInEitherCaseAndNothingElse) {
    CTempFolder folder;
    ASSERT_TRUE(folder.Create());
    const std::wstring path = folder / L"abc.txt";
    ASSERT_TRUE(WriteFileBytes(path, "abc"));
    const struct {
        const char* hash;
        bool matches;
    } cases[] = {
        {"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad", true},
        {"BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD", true},
        {"a9993e364706816aba3e25717850c26c9cd0d89d", true},
        {"900150983CD24FB0D6963F7D28E17F72", true},
        {"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ae", false},
        {"e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855", false},
        {"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015", false},
        {"", false},
        {"abc", false},
    };
    for (const auto& c : cases) {
        brelio::UniqueKernelHandle file(
            ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(file);
        EXPECT_EQ(FileContentMatches(file.Get(), c.hash), c.matches) << c.hash;
    }
    brelio::UniqueKernelHandle unreadable(
        ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(unreadable);
    EXPECT_FALSE(FileContentMatches(unreadable.Get(), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"))
        << "content that cannot be read matches nothing";
}

}  // namespace
