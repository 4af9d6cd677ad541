// What one storage operation costs, step by step, on a real database file:
// the storage mutex, opening and closing the file, the schema check (made
// in full, and skipped for a file known current), an empty and a one-row
// transaction, and whole operations of the kinds a first full sync makes
// (a drive item's status with the recorded changes, the insert of its row;
// the revisions of a fetched feed in one operation beside one operation
// per row). Steps and operations take turns in small batches, so that a
// busy machine weighs on all of them alike.
//   StorageBench <folder for the database> <rows> <rounds>
// Prints "<step> <min> <median> ms" per step.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "BenchClock.h"
#include "BrelioServices/LocalStorage.h"
#include "BrelioServices/NamedMutex.h"
#include "BrelioServices/SQLiteConnection.h"

namespace {

struct Step {
    const char* name;
    std::function<void(int)> run;  // one call, given a running number
};

FileInfo InfoOf(uint64_t id) {
    FileInfo info;
    info.id = id;
    info.name = L"f" + std::to_wstring(id) + L".txt";
    info.type = "file";
    info.hash = "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef";
    info.revision = id;
    info.version = 1;
    return info;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 4) {
        std::printf("usage: StorageBench <folder> <rows> <rounds>\n");
        return 2;
    }
    const std::wstring root = argv[1];
    const std::wstring database = root + L"\\bench.db";
    const int rows = _wtoi(argv[2]);
    const int rounds = _wtoi(argv[3]);
    for (const wchar_t* suffix : {L"", L"-journal"}) ::DeleteFileW((database + suffix).c_str());
    if (CSQLiteConnection::CreateDatabase(database.c_str()) != 0) {
        std::printf("cannot create %ls\n", database.c_str());
        return 1;
    }
    CNamedMutex mutex;
    if (FAILED(mutex.Create(L"BrelioStorageBenchMutex"))) return 1;
    CLocalStorage storage(&mutex, database.c_str(), root.c_str());
    auto pathOf = [&](uint64_t id) { return root + L"\\d\\f" + std::to_wstring(id) + L".txt"; };
    for (int i = 1; i <= rows; ++i) {
        if (FAILED(storage.InsertFile(InfoOf(i), pathOf(i).c_str(), 200, 1, FILE_STATUS_SYNCED))) return 1;
    }

    uint64_t nextId = rows + 1;
    auto updateRow = [&](CSQLiteConnection& db, int i) {
        const uint64_t id = 1 + i % rows;
        FileRecord record;
        record.file_id = id;
        record.name = L"d\\f" + std::to_wstring(id) + L".txt";
        record.hash = "abc";
        record.last_write_time = 3 + i;
        record.status = 1;
        db.UpdateFile(record);
    };
    // A step that fails ends the bench (throw): its time would be that of
    // the failure, not of the operation.
    std::vector<Step> steps = {
        {"storage mutex", [&](int) { CNamedMutexLock lock(&mutex); }},
        {"open+close read-only", [&](int) {
             CSQLiteConnection db;
             db.Open(database.c_str(), OpenMode::ReadOnly);
         }},
        {"open+close read-write", [&](int) {
             CSQLiteConnection db;
             db.Open(database.c_str(), OpenMode::ReadWrite);
         }},
        {"open+schema check+close", [&](int) {
             CSQLiteConnection db;
             db.Open(database.c_str(), OpenMode::ReadOnly);
             if (!db.TableExists(L"config") || db.ReadSchemaVersion() != kLocalStorageSchemaVersion) throw 1;
         }},
        {"OpenCurrent+close, known", [&](int) {
             CSQLiteConnection db;
             db.OpenCurrent(database.c_str(), OpenMode::ReadOnly);
         }},
        {"empty transaction", [&](int) {
             CSQLiteConnection db;
             db.Open(database.c_str(), OpenMode::ReadWrite);
             CSQLiteTransaction transaction(db);
             transaction.Commit();
         }},
        {"update-row transaction", [&](int i) {
             CSQLiteConnection db;
             db.Open(database.c_str(), OpenMode::ReadWrite);
             CSQLiteTransaction transaction(db);
             updateRow(db, i);
             transaction.Commit();
         }},
        {"open+query+close", [&](int i) {
             CSQLiteConnection db;
             db.Open(database.c_str(), OpenMode::ReadOnly);
             db.GetFileStatus(static_cast<uint64_t>(1 + i % rows));
         }},
        {"GetFileStatus (path)", [&](int i) {
             int status = 0;
             if (FAILED(storage.GetFileStatus(pathOf(1 + i % rows).c_str(), status))) throw 1;
         }},
        {"GetFileStatus (id)+changes", [&](int i) {
             // A drive item the walk has no row for: its status and the
             // recorded changes, in one operation.
             int status = 0;
             ChangeRecordList changes;
             if (FAILED(storage.GetFileStatus(static_cast<uint64_t>(rows + 1 + i), status, changes))) throw 1;
         }},
        {"GetChanges (read)", [&](int) {
             ChangeRecordList changes;
             if (FAILED(storage.GetChanges(changes, false))) throw 1;
         }},
        {"GetRevisions (100 ids)", [&](int i) {
             std::vector<uint64_t> ids;
             for (int k = 0; k < 100; ++k) ids.push_back(static_cast<uint64_t>(1 + (i * 100 + k) % rows));
             std::unordered_map<uint64_t, uint64_t> revisions;
             if (FAILED(storage.GetRevisions(ids, revisions))) throw 1;
         }},
        {"GetFile (id) x100", [&](int i) {
             for (int k = 0; k < 100; ++k) {
                 FileRecord row;
                 if (FAILED(storage.GetFile(static_cast<uint64_t>(1 + (i * 100 + k) % rows), row))) throw 1;
             }
         }},
        {"GetFile (id)", [&](int i) {
             FileRecord row;
             if (FAILED(storage.GetFile(static_cast<uint64_t>(1 + i % rows), row))) throw 1;
         }},
        {"InsertFile (new row)", [&](int) {
             const uint64_t id = nextId++;
             if (FAILED(storage.InsertFile(InfoOf(id), pathOf(id).c_str(), 200, 1, FILE_STATUS_SYNCED))) throw 1;
         }},
        {"UpdateFile (by id)", [&](int i) {
             const uint64_t id = 1 + i % rows;
             if (FAILED(storage.UpdateFile(InfoOf(id), pathOf(id).c_str(), 200, 2, false))) throw 1;
         }},
        {"SetFileStatus (id)", [&](int i) {
             if (FAILED(storage.SetFileStatus(static_cast<uint64_t>(1 + i % rows), false, (i & 1) ? 2 : 1))) throw 1;
         }},
    };
    std::vector<std::vector<double>> perCall(steps.size());  // ms, one entry per batch
    constexpr int kBatch = 20;
    int counter = 0;
    for (int round = 0; round < rounds; ++round) {
        for (size_t s = 0; s < steps.size(); ++s) {
            const double start = BenchNow();
            for (int i = 0; i < kBatch; ++i) steps[s].run(counter++);
            perCall[s].push_back((BenchNow() - start) * 1000.0 / kBatch);
        }
    }
    for (size_t s = 0; s < steps.size(); ++s) {
        std::vector<double>& times = perCall[s];
        std::sort(times.begin(), times.end());
        std::printf("%-26s %7.3f %7.3f ms\n", steps[s].name, times.front(), times[times.size() / 2]);
    }
    return 0;
}
