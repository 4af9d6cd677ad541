#include <future>
#include <set>
#include <sstream>

#include "BrelioCore/TextConvert.h"
#include "ChildProcess.h"
#include "StorageTest.h"
#include "StorageWorker.h"

namespace brelio::test {
namespace {

using LocalStorageConcurrency = StorageTest;

// Reads the result file of a worker process.
void ReadWorkerResult(const std::wstring& path, StorageWorkResult& result) {
    std::istringstream lines(ReadFileBytes(path));
    std::string line;
    while (std::getline(lines, line)) {
        if (line.size() < 3) continue;
        const std::wstring name = Utf8ToWide(line.substr(2));
        (line[0] == 'I' ? result.inserted : result.collected).push_back(name);
    }
}

// Two processes with several threads each record changes, upsert the same
// rows and take the changes away while the others keep recording. The
// mutex serialises them: no operation fails (no SQLITE_BUSY, no duplicate
// row from two upserts at once) and every change is read exactly once.
TEST_F(LocalStorageConcurrency, TwoProcessesAndManyThreadsNeverCollide) {
    CNamedEvent start;
    StorageWorkload load;
    load.databasePath = m_database;
    load.rootFolder = m_root;
    load.mutexName = m_mutexName;
    load.threads = 4;
    load.iterations = 40;
    load.startEvent = start.Name();

    const std::wstring childResult = m_folder / L"child.txt";
    CChildProcess child;
    ASSERT_TRUE(child.Start({L"storage-worker", m_database, m_root, m_mutexName, L"child", std::to_wstring(load.threads),
                             std::to_wstring(load.iterations), start.Name(), childResult}));
    load.tag = L"parent";
    auto parent = std::async(std::launch::async, [&] { return RunStorageWorkload(load); });
    start.Set();
    StorageWorkResult all = parent.get();
    EXPECT_EQ(child.Wait(), 0) << "the other process met failed operations";
    ReadWorkerResult(childResult, all);
    EXPECT_EQ(all.failures, 0);

    ChangeRecordList rest;
    ASSERT_EQ(Storage().GetChanges(rest, true), S_OK);
    for (const ChangeRecord& change : rest) all.collected.push_back(change.name);

    const size_t expected = 2u * load.threads * load.iterations;
    EXPECT_EQ(all.inserted.size(), expected);
    EXPECT_EQ(all.collected.size(), expected);  // none twice, none lost
    EXPECT_EQ(std::set<std::wstring>(all.collected.begin(), all.collected.end()),
              std::set<std::wstring>(all.inserted.begin(), all.inserted.end()));
    EXPECT_EQ(Names().size(), 6u);
}

TEST_F(LocalStorageConcurrency, AnOperationWaitsWhileAnotherProcessHoldsTheMutex) {
    CNamedEvent ready;
    CNamedEvent release;
    CChildProcess holder;
    ASSERT_TRUE(holder.Start({L"hold-mutex", m_mutexName, ready.Name(), release.Name()}));
    ASSERT_TRUE(ready.Wait());

    auto write = std::async(std::launch::async, [&] { return Storage().SetLatestRevision(7); });
    EXPECT_EQ(write.wait_for(std::chrono::milliseconds(500)), std::future_status::timeout);
    release.Set();
    EXPECT_EQ(write.get(), S_OK);
    EXPECT_EQ(holder.Wait(), 0);
    uint64_t revision = 0;
    ASSERT_EQ(Storage().GetLatestRevision(revision), S_OK);
    EXPECT_EQ(revision, 7u);
}

}  // namespace
}  // namespace brelio::test
