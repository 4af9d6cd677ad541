// The test program, which is also its own helper process: started with
// "--child <role> ..." it plays the other process of a test instead.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <string>
#include <vector>

#include "BrelioCore/TextConvert.h"
#include "BrelioCore/UniqueHandle.h"
#include "BrelioServices/NamedMutex.h"
#include "ChildProcess.h"
#include "StorageWorker.h"
#include "TempFolder.h"

namespace brelio::test {
namespace {

void SignalEvent(const std::wstring& name) {
    UniqueKernelHandle event(::OpenEventW(EVENT_MODIFY_STATE | SYNCHRONIZE, FALSE, name.c_str()));
    if (event) ::SetEvent(event.Get());
}

// hold-file <path> <milliseconds> <ready event>: keeps the file open with
// no sharing at all.
int HoldFile(const std::vector<std::wstring>& args) {
    if (args.size() != 4) return 2;
    UniqueKernelHandle file(::CreateFileW(args[1].c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return 3;
    SignalEvent(args[3]);
    ::Sleep(static_cast<DWORD>(std::stoul(args[2])));
    return 0;
}

// hold-mutex <name> <ready event> <release event>
int HoldMutex(const std::vector<std::wstring>& args) {
    if (args.size() != 4) return 2;
    CNamedMutex mutex;
    if (FAILED(mutex.Create(args[1].c_str())) || mutex.Lock() != WAIT_OBJECT_0) return 3;
    SignalEvent(args[2]);
    UniqueKernelHandle release(::OpenEventW(SYNCHRONIZE, FALSE, args[3].c_str()));
    if (release) ::WaitForSingleObject(release.Get(), 60000);
    mutex.Unlock();
    return 0;
}

// storage-worker <database> <root> <mutex> <tag> <threads> <iterations>
// <start event> <result file>: the exit code counts the failed operations;
// the result file lists the changes recorded (I) and read back (C).
int StorageWorker(const std::vector<std::wstring>& args) {
    if (args.size() != 9) return 2;
    StorageWorkload load;
    load.databasePath = args[1];
    load.rootFolder = args[2];
    load.mutexName = args[3];
    load.tag = args[4];
    load.threads = std::stoi(args[5]);
    load.iterations = std::stoi(args[6]);
    load.startEvent = args[7];
    const StorageWorkResult result = RunStorageWorkload(load);
    std::string lines;
    for (const std::wstring& name : result.inserted) lines += "I " + WideToUtf8(name) + "\n";
    for (const std::wstring& name : result.collected) lines += "C " + WideToUtf8(name) + "\n";
    if (!WriteFileBytes(args[8], lines)) return 4;
    return std::min(result.failures, 100) + (result.failures > 0 ? 10 : 0);
}

// unfinished-write <database> <ready event>: writes, in one transaction,
// more file rows than SQLite's cache holds, so that the database file
// itself is written before the end; says so and waits, never committing,
// to be killed.
int UnfinishedWrite(const std::vector<std::wstring>& args) {
    if (args.size() != 3) return 2;
    sqlite3* db = nullptr;
    if (sqlite3_open(WideToUtf8(args[1]).c_str(), &db) != SQLITE_OK) return 3;
    const char* write =
        "PRAGMA cache_size=1; BEGIN; "
        "WITH RECURSIVE n(i) AS (SELECT 1000 UNION ALL SELECT i + 1 FROM n WHERE i < 3000) "
        "INSERT INTO file(file_id, name, is_folder, last_write_time, revision, status) "
        "SELECT i, 'unfinished-' || i || '-' || hex(randomblob(100)), 0, 0, 1, 1 FROM n;";
    if (sqlite3_exec(db, write, nullptr, nullptr, nullptr) != SQLITE_OK) return 4;
    SignalEvent(args[2]);
    ::Sleep(INFINITE);
    return 0;
}

}  // namespace

int RunChildRole(const std::vector<std::wstring>& args) {
    if (args.empty()) return 2;
    if (args[0] == L"hold-file") return HoldFile(args);
    if (args[0] == L"hold-mutex") return HoldMutex(args);
    if (args[0] == L"storage-worker") return StorageWorker(args);
    if (args[0] == L"unfinished-write") return UnfinishedWrite(args);
    return 2;
}

}  // namespace brelio::test

int main(int argc, char** argv) {
    int count = 0;
    std::vector<std::wstring> args;
    {
        const brelio::UniqueLocalMemory<wchar_t*> wide(::CommandLineToArgvW(::GetCommandLineW(), &count));
        if (wide) args.assign(wide.Get(), wide.Get() + count);
    }
    if (args.size() >= 2 && args[1] == L"--child") return brelio::test::RunChildRole(std::vector<std::wstring>(args.begin() + 2, args.end()));
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
