#pragma once
#include <string>
#include <vector>

namespace brelio::test {

struct StorageWorkload {
    std::wstring databasePath;
    std::wstring rootFolder;
    std::wstring mutexName;
    std::wstring tag;  // makes the change names of this process unique
    int threads = 4;
    int iterations = 40;
    std::wstring startEvent;  // all workers begin together when it is set
};

struct StorageWorkResult {
    int failures = 0;  // operations that did not give the expected result
    std::vector<std::wstring> inserted;   // change names recorded
    std::vector<std::wstring> collected;  // change names read back and cleared
};

// Threads that record changes, upsert shared file rows, read them back and
// now and then take and clear the recorded changes, all at once.
StorageWorkResult RunStorageWorkload(const StorageWorkload& workload);

}  // namespace brelio::test
