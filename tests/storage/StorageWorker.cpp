#include "StorageWorker.h"

#include <windows.h>

#include <mutex>
#include <thread>

#include "BrelioServices/LocalStorage.h"
#include "BrelioCore/UniqueHandle.h"

namespace brelio::test {
namespace {

constexpr int kSharedRows = 6;

// Every worker writes the same few rows; each row's id belongs to its name.
FileInfo SharedInfo(int index, int revision) {
    FileInfo info;
    info.id = 1000 + static_cast<uint64_t>(index);
    info.type = "file";
    info.hash = "h" + std::to_string(index);
    info.revision = static_cast<uint64_t>(revision);
    return info;
}

std::wstring SharedPath(const std::wstring& root, int index) {
    return root + L"\\shared\\item" + std::to_wstring(index) + L".txt";
}

void Work(const StorageWorkload& load, int thread, CNamedMutex& mutex, StorageWorkResult& result,
          std::mutex& resultLock) {
    CLocalStorage storage(&mutex, load.databasePath.c_str(), load.rootFolder.c_str());
    int failures = 0;
    std::vector<std::wstring> inserted;
    ChangeRecordList collected;
    for (int i = 0; i < load.iterations; ++i) {
        ChangeRecord change;
        change.name = load.tag + L"-" + std::to_wstring(thread) + L"-" + std::to_wstring(i);
        change.action = CHANGE_ACTION_ADDED;
        if (storage.InsertChanges({change}) == S_OK)
            inserted.push_back(change.name);
        else
            ++failures;

        const int shared = (i + thread) % kSharedRows;
        const std::wstring path = SharedPath(load.rootFolder, shared);
        if (storage.InsertFile(SharedInfo(shared, i + 1), path.c_str(), 10, 20, FILE_STATUS_SYNCED) != S_OK)
            ++failures;
        FileRecord row;
        if (storage.GetFile(path.c_str(), row) != S_OK || row.file_id != SharedInfo(shared, 0).id) ++failures;

        if (i % 5 == 4 && storage.GetChanges(collected, true) != S_OK) ++failures;
    }
    std::lock_guard<std::mutex> guard(resultLock);
    result.failures += failures;
    result.inserted.insert(result.inserted.end(), inserted.begin(), inserted.end());
    for (const ChangeRecord& change : collected) result.collected.push_back(change.name);
}

}  // namespace

StorageWorkResult RunStorageWorkload(const StorageWorkload& load) {
    StorageWorkResult result;
    CNamedMutex mutex;
    if (FAILED(mutex.Create(load.mutexName.c_str()))) {
        result.failures = 1;
        return result;
    }
    if (!load.startEvent.empty()) {
        UniqueKernelHandle start(::OpenEventW(SYNCHRONIZE, FALSE, load.startEvent.c_str()));
        if (!start || ::WaitForSingleObject(start.Get(), 60000) != WAIT_OBJECT_0) {
            result.failures = 1;
            return result;
        }
    }
    std::mutex resultLock;
    std::vector<std::thread> threads;
    for (int t = 0; t < load.threads; ++t)
        threads.emplace_back([&, t] { Work(load, t, mutex, result, resultLock); });
    for (std::thread& thread : threads) thread.join();
    return result;
}

}  // namespace brelio::test
