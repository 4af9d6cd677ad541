// Sending files and folders to the recycle bin. Under Wine the recycle bin
// is the freedesktop trash of XDG_DATA_HOME, which the test wrapper points
// into the build folder.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include <memory>

#include "BrelioCore/UniqueHandle.h"
#include "BrelioServices/FileOperations.h"
#include "FakeFileOperation.h"
#include "FileHolder.h"
#include "TestFiles.h"

namespace {

constexpr HRESULT kSharingViolation = static_cast<HRESULT>(0x80070020);

// Where the trash keeps recycled items, as a Windows path; empty when this
// is no Wine with a freedesktop trash.
std::wstring TrashFilesFolder() {
    wchar_t unixPath[MAX_PATH] = L"";
    const DWORD length = ::GetEnvironmentVariableW(L"XDG_DATA_HOME", unixPath, MAX_PATH);
    if (length == 0 || length >= MAX_PATH || unixPath[0] != L'/') return {};
    std::wstring path = L"Z:" + std::wstring(unixPath) + L"/Trash/files";
    for (wchar_t& c : path)
        if (c == L'/') c = L'\\';
    return path;
}

class RecycleBin : public ::testing::Test {
protected:
    void SetUp() override {
        m_com = std::make_unique<brelio::ComInitScope>();
        ASSERT_TRUE(SUCCEEDED(m_com->Result()));
        m_trash = TrashFilesFolder();
        // Unique names: the trash outlives the test run.
        m_name = L"recycled-" + std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(NowMs());
    }
    void TearDown() override {
        if (!m_trash.empty()) {
            RemoveTree(m_trash + L"\\" + m_name);
            RemoveTree(m_trash + L"\\..\\info\\" + m_name + L".trashinfo");
        }
        m_com.reset();
    }
    bool InTrash() const { return !m_trash.empty() && PathExists(m_trash + L"\\" + m_name); }

    std::unique_ptr<brelio::ComInitScope> m_com;
    ScopedTree m_scratch{MakeScratchFolder()};
    std::wstring m_trash;
    std::wstring m_name;
};

TEST_F(RecycleBin, FileGoesToTheScratchTrash) {
    ASSERT_FALSE(m_trash.empty()) << "XDG_DATA_HOME is not set by the test wrapper";
    const std::wstring path = m_scratch.Path() + L"\\" + m_name;
    WriteTextFile(path, "x");
    EXPECT_EQ(RecycleFile(path.c_str(), 4), S_OK);
    EXPECT_FALSE(PathExists(path));
    EXPECT_TRUE(InTrash());
}

TEST_F(RecycleBin, FolderGoesToTheScratchTrashWithItsContents) {
    ASSERT_FALSE(m_trash.empty());
    const std::wstring path = m_scratch.Path() + L"\\" + m_name;
    ASSERT_EQ(CreateDirectoryTree((path + L"\\inner").c_str()), S_OK);
    WriteTextFile(path + L"\\inner\\a.txt", "a");
    EXPECT_EQ(RecycleDirectory(path.c_str()), S_OK);
    EXPECT_FALSE(PathExists(path));
    EXPECT_TRUE(InTrash());
    EXPECT_TRUE(PathExists(m_trash + L"\\" + m_name + L"\\inner\\a.txt"));
}

TEST_F(RecycleBin, MissingItemIsSuccessWithoutWaiting) {
    const std::wstring path = m_scratch.Path() + L"\\" + m_name;
    const ULONGLONG start = NowMs();
    EXPECT_EQ(RecycleFile(path.c_str(), 4), S_OK);
    EXPECT_EQ(RecycleDirectory(path.c_str()), S_OK);
    EXPECT_LT(NowMs() - start, 200u);
    // A file is no folder: the folder recycle leaves it alone.
    WriteTextFile(path, "x");
    EXPECT_EQ(RecycleDirectory(path.c_str()), S_OK);
    EXPECT_TRUE(PathExists(path));
}

TEST_F(RecycleBin, FileHeldOpenFailsOnceItsRetriesAreSpentAndStaysInPlace) {
    const std::wstring path = m_scratch.Path() + L"\\" + m_name;
    WriteTextFile(path, "x");
    FileHolder holder;
    ASSERT_TRUE(holder.Start(path, 3000));
    const ULONGLONG start = NowMs();
    EXPECT_EQ(RecycleFile(path.c_str(), 2), kSharingViolation);
    const ULONGLONG elapsed = NowMs() - start;
    EXPECT_GE(elapsed, 450u);
    EXPECT_LT(elapsed, 2900u);
    EXPECT_TRUE(PathExists(path));
    EXPECT_FALSE(InTrash());
    EXPECT_TRUE(holder.Finish());
}

TEST_F(RecycleBin, FileHeldOpenBrieflyIsRecycledByALaterAttempt) {
    ASSERT_FALSE(m_trash.empty());
    const std::wstring path = m_scratch.Path() + L"\\" + m_name;
    WriteTextFile(path, "x");
    FileHolder holder;
    ASSERT_TRUE(holder.Start(path, 600));
    const ULONGLONG start = NowMs();
    EXPECT_EQ(RecycleFile(path.c_str(), 4), S_OK);
    EXPECT_GE(NowMs() - start, 500u);
    EXPECT_FALSE(PathExists(path));
    EXPECT_TRUE(InTrash());
    EXPECT_TRUE(holder.Finish());
}

// Where the shell's object works (Windows), each attempt gets an object of
// its own, and only an item that is gone counts as recycled.
TEST_F(RecycleBin, EachAttemptGetsAFreshFileOperationObject) {
    FileOperationScript script;
    script.failuresLeft = 2;
    ScopedFakeFileOperation fake(script);
    ASSERT_TRUE(fake.IsRegistered());
    const std::wstring path = m_scratch.Path() + L"\\" + m_name;
    WriteTextFile(path, "x");

    EXPECT_EQ(RecycleFile(path.c_str(), 4), S_OK);
    EXPECT_FALSE(PathExists(path));
    EXPECT_EQ(script.objectsMade, 3);
    EXPECT_EQ(script.operationsRun, 3);
    EXPECT_EQ(script.flagsSeen, static_cast<DWORD>(FOF_SILENT | FOF_NOCONFIRMATION | FOF_ALLOWUNDO | FOF_NOERRORUI));
}

TEST_F(RecycleBin, ClaimedSuccessWithTheItemStillThereIsAFailure) {
    FileOperationScript script;
    script.removesItem = false;
    ScopedFakeFileOperation fake(script);
    ASSERT_TRUE(fake.IsRegistered());
    const std::wstring file = m_scratch.Path() + L"\\" + m_name;
    const std::wstring folder = file + L"-folder";
    WriteTextFile(file, "x");
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));

    EXPECT_EQ(RecycleFile(file.c_str(), 1), E_FAIL);
    EXPECT_EQ(script.objectsMade, 2);
    EXPECT_TRUE(PathExists(file));
    EXPECT_EQ(RecycleDirectory(folder.c_str()), E_FAIL);
    EXPECT_TRUE(PathExists(folder));
}

// The tests above go through the shell's file operation object where it
// works, and through SHFileOperationW where (as under Wine) it is a stub.
TEST(RecycleBinRoad, FileOperationObjectIsAStubHere) {
    auto com = std::make_unique<brelio::ComInitScope>(COINIT_APARTMENTTHREADED);
    ASSERT_TRUE(SUCCEEDED(com->Result()));
    HRESULT created = E_FAIL;
    HRESULT flags = E_FAIL;
    HRESULT performed = E_FAIL;
    {
        Microsoft::WRL::ComPtr<IFileOperation> operation;
        created = ::CoCreateInstance(CLSID_FileOperation, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&operation));
        if (SUCCEEDED(created)) {
            flags = operation->SetOperationFlags(FOF_SILENT | FOF_NOCONFIRMATION | FOF_ALLOWUNDO);
            performed = operation->PerformOperations();
        }
    }
    com.reset();
    ASSERT_EQ(created, S_OK);
    if (flags != E_NOTIMPL) GTEST_SKIP() << "this system implements IFileOperation: no fallback taken";
    EXPECT_EQ(performed, E_NOTIMPL);
}

}  // namespace
