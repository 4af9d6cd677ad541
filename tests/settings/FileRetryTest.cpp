// Local file operations that retry while a file is in use.
#include <gtest/gtest.h>

#include "BrelioServices/FileOperations.h"
#include "FileHolder.h"
#include "TestFiles.h"

namespace {

constexpr HRESULT kSharingViolation = static_cast<HRESULT>(0x80070020);

TEST(FileRetry, Win32CodesBecomeHresults) {
    const struct {
        int code;
        HRESULT hr;
    } cases[] = {
        {0, S_OK},
        {5, static_cast<HRESULT>(0x80070005)},
        {2, static_cast<HRESULT>(0x80070002)},
        {0x12345, static_cast<HRESULT>(0x80072345)},
        {-5, -5},
    };
    for (const auto& c : cases) EXPECT_EQ(HresultFromWin32(c.code), c.hr) << c.code;
}

class FileRetryFolder : public ::testing::Test {
protected:
    ScopedTree m_scratch{MakeScratchFolder()};
    std::wstring Path(const wchar_t* relative) const { return m_scratch.Path() + L"\\" + relative; }
};

TEST_F(FileRetryFolder, CreateDirectoryRetryOnWhatIsThere) {
    WriteTextFile(Path(L"file"), "x");
    EXPECT_EQ(CreateDirectoryRetry(m_scratch.Path().c_str(), 4), S_OK);
    EXPECT_EQ(CreateDirectoryRetry(Path(L"file").c_str(), 4), E_FAIL);
    EXPECT_EQ(CreateDirectoryRetry(Path(L"new").c_str(), 4), S_OK);
    EXPECT_TRUE(IsFolder(Path(L"new")));
}

TEST_F(FileRetryFolder, TreeIsCreatedTopDown) {
    EXPECT_EQ(CreateDirectoryTree(Path(L"a\\b\\c").c_str()), S_OK);
    EXPECT_TRUE(IsFolder(Path(L"a\\b\\c")));
    EXPECT_EQ(CreateDirectoryTree(Path(L"a\\b\\c").c_str()), S_OK) << "already there";
}

TEST_F(FileRetryFolder, FileInTheWayStopsTheTree) {
    WriteTextFile(Path(L"a"), "x");
    EXPECT_EQ(CreateDirectoryTree(Path(L"a\\b\\c").c_str()), E_FAIL);
    EXPECT_FALSE(IsFolder(Path(L"a")));
    EXPECT_FALSE(PathExists(Path(L"a\\b")));
}

TEST_F(FileRetryFolder, MissingItemsNeedNoAttempt) {
    const ULONGLONG start = NowMs();
    EXPECT_EQ(DeleteFileRetry(Path(L"missing").c_str(), 4), S_OK);
    EXPECT_EQ(MoveFileRetry(Path(L"missing").c_str(), Path(L"target").c_str(), 4), static_cast<HRESULT>(0x80070002));
    EXPECT_LT(NowMs() - start, 200u) << "no retry waits";
    EXPECT_FALSE(PathExists(Path(L"target")));
}

TEST_F(FileRetryFolder, MoveWaitsForAFileInUse) {
    const std::wstring source = Path(L"source.txt");
    WriteTextFile(source, "x");
    FileHolder holder;
    ASSERT_TRUE(holder.Start(source, 600));
    EXPECT_EQ(MoveFileRetry(source.c_str(), Path(L"target.txt").c_str(), 4), S_OK);
    EXPECT_TRUE(holder.Finish());
    EXPECT_TRUE(PathExists(Path(L"target.txt")));
    EXPECT_FALSE(PathExists(source));
}

// Held for 600 ms, the file is free for the fourth attempt (at 750 ms)
// but not for the second (at 250 ms).
TEST_F(FileRetryFolder, DeleteWaitsForAFileInUseAsLongAsItsRetriesLast) {
    const struct {
        int retries;
        HRESULT result;
        ULONGLONG atLeastMs;
        ULONGLONG belowMs;
    } cases[] = {
        {4, S_OK, 600, 2500},
        {1, kSharingViolation, 200, 590},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.retries << " retries");
        const std::wstring path = Path(L"locked.txt");
        WriteTextFile(path, "x");
        FileHolder holder;
        ASSERT_TRUE(holder.Start(path, 600));
        const ULONGLONG start = NowMs();
        EXPECT_EQ(DeleteFileRetry(path.c_str(), c.retries), c.result);
        const ULONGLONG elapsed = NowMs() - start;
        EXPECT_GE(elapsed, c.atLeastMs);
        EXPECT_LT(elapsed, c.belowMs);
        EXPECT_EQ(PathExists(path), FAILED(c.result));
        EXPECT_TRUE(holder.Finish());
        RemoveTree(path);
    }
}

}  // namespace
