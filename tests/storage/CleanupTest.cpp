#include "StorageTest.h"

namespace brelio::test {
namespace {

using LocalStorageCleanup = StorageTest;

constexpr uint64_t kTicksPerDay = 24ull * 60 * 60 * 10'000'000;

uint64_t DaysAgo(uint64_t days) {
    FILETIME now = {};
    ::GetSystemTimeAsFileTime(&now);
    return ((uint64_t(now.dwHighDateTime) << 32) | now.dwLowDateTime) - days * kTicksPerDay;
}

TEST_F(LocalStorageCleanup, KeepsFreshRowsAndRowsWhoseItemStillExists) {
    ASSERT_TRUE(::CreateDirectoryW(Path(L"Kept").c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW(Path(L"NowAFolder").c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytes(Path(L"Kept\\here.txt"), "x"));
    ASSERT_TRUE(WriteFileBytes(Path(L"NowAFile"), "x"));

    struct Case {
        const wchar_t* name;
        bool isFolder;
        uint64_t age;
        bool kept;
    } cases[] = {
        {L"Kept", true, 31, true},             // old folder that still exists
        {L"Kept\\here.txt", false, 31, true},  // old file that still exists
        {L"Gone.txt", false, 31, false},
        {L"GoneFolder", true, 31, false},
        {L"NowAFolder", false, 31, false},     // a file row whose path is now a folder
        {L"NowAFile", true, 31, false},        // a folder row whose path is now a file
        {L"Fresh.txt", false, 29, true},       // missing but written within 30 days
        {L"FreshFolder", true, 0, true},
    };
    uint64_t id = 1;
    std::vector<std::wstring> kept;
    for (const Case& c : cases) {
        FileRecord row = c.isFolder ? FolderRow(id, c.name) : FileRow(id, c.name);
        row.last_write_time = DaysAgo(c.age);
        row.status = static_cast<int>(id % 3) + 1;  // the status plays no part
        SeedRows({row});
        if (c.kept) kept.push_back(c.name);
        ++id;
    }
    ASSERT_EQ(Storage().Cleanup(), S_OK);
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(Names(), kept);
}

}  // namespace
}  // namespace brelio::test
