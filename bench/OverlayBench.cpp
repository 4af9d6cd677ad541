// Measures how long an overlay question takes on a large local database:
// the overlay library called directly, and the overlay handlers of the
// shell extension (beside it) as Explorer calls them. Prints one line per
// case: calls per second and the slowest single call.
//   OverlayBench <overlay library> <shell extension> <scratch folder> [rows]
// It rewrites the program's settings (account, sync folder, database) in
// the current user's registry.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "BrelioCore/ComPtr.h"
#include "BrelioCore/UniqueHandle.h"
#include "BrelioServices/NamedMutex.h"
#include "BrelioServices/RegistryKey.h"
#include "BrelioServices/RegistryLayout.h"
#include "BrelioServices/SQLiteConnection.h"
#include "ShellExtIds.h"

namespace {

using IsMemberOfFunction = HRESULT(WINAPI*)(int, HANDLE, const wchar_t*, const wchar_t*, const wchar_t*, DWORD, LONG);
using GetClassObjectFunction = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);

constexpr wchar_t kBenchAccount[] = L"bench@overlay";
constexpr int kSubfolders = 300;

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to) {
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

LARGE_INTEGER Now() {
    LARGE_INTEGER t;
    ::QueryPerformanceCounter(&t);
    return t;
}

// The tree: one top folder "Archive" holding every other row, in
// kSubfolders folders of equal size. One file of each status that shows.
bool MakeDatabase(const std::wstring& path, int rows) {
    ::DeleteFileW(path.c_str());
    if (CSQLiteConnection::CreateDatabase(path.c_str()) != 0) return false;
    const int files = rows - 1 - kSubfolders;
    try {
        CSQLiteConnection db;
        db.Open(path.c_str(), OpenMode::ReadWrite);
        CSQLiteTransaction transaction(db);
        db.Exec(L"INSERT INTO file(file_id, name, is_folder, size, last_write_time, hash, revision, version, status) "
                L"VALUES(1, 'Archive', 1, 0, 0, '', 1, 1, 1)");
        db.Exec(L"WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i + 1 < " +
                std::to_wstring(kSubfolders) +
                L") INSERT INTO file(file_id, name, is_folder, size, last_write_time, hash, revision, version, status) "
                L"SELECT 10 + i, printf('Archive\\d%03d', i), 1, 0, 0, '', 1, 1, 1 FROM n");
        db.Exec(L"WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i + 1 < " +
                std::to_wstring(files) +
                L") INSERT INTO file(file_id, name, is_folder, size, last_write_time, hash, revision, version, status) "
                L"SELECT 1000 + i, printf('Archive\\d%03d\\f%06d.txt', i % " + std::to_wstring(kSubfolders) +
                L", i), 0, 200, 0, '', 1, 1, 1 FROM n");
        db.Exec(L"UPDATE file SET status = 2 WHERE file_id = 1001");
        db.Exec(L"UPDATE file SET status = 7 WHERE file_id = 1002");
        transaction.Commit();
        int count = 0;
        db.Exec(L"SELECT count(*) FROM file", &count);
        return count == rows;
    } catch (int code) {
        std::printf("making the database failed: %d\n", code);
        return false;
    }
}

// A write of the program between two questions: one file's status moves.
void ChangeOneRow(const std::wstring& database, HANDLE mutex, int round) {
    ::WaitForSingleObject(mutex, INFINITE);
    try {
        CSQLiteConnection db;
        db.Open(database.c_str(), OpenMode::ReadWrite);
        db.Exec(L"UPDATE file SET status = " + std::to_wstring(round % 2 == 0 ? 1 : 2) + L" WHERE file_id = 1003");
    } catch (int) {
    }
    ::ReleaseMutex(mutex);
}

struct Figures {
    int calls = 0;
    double totalMs = 0;
    double worstMs = 0;
};

void Print(const char* label, const Figures& f) {
    std::printf("%-52s %10.0f calls/s   worst %8.2f ms\n", label, f.calls * 1000.0 / std::max(f.totalMs, 1e-6),
                f.worstMs);
    std::fflush(stdout);
}

// Asks about each path with each of the three overlay ids, `rounds` times;
// `between` runs before each path's questions and is not timed.
Figures Measure(const std::function<HRESULT(int overlayId, const std::wstring& path)>& ask,
                const std::vector<std::wstring>& paths, int rounds, const std::function<void(int)>& between = {}) {
    Figures f;
    for (int round = 0; round < rounds; ++round) {
        for (const std::wstring& path : paths) {
            if (between) between(round);
            for (int id = 1; id <= 3; ++id) {
                const LARGE_INTEGER start = Now();
                (void)ask(id, path);
                const double ms = Milliseconds(start, Now());
                ++f.calls;
                f.totalMs += ms;
                f.worstMs = std::max(f.worstMs, ms);
            }
        }
    }
    return f;
}

// Another thread holds the storage mutex while the object lives.
class CMutexHeldElsewhere {
public:
    CMutexHeldElsewhere()
        : m_held(::CreateEventW(nullptr, TRUE, FALSE, nullptr)), m_release(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
        m_thread.Reset(::CreateThread(nullptr, 0, Hold, this, 0, nullptr));
        ::WaitForSingleObject(m_held.Get(), INFINITE);
    }
    ~CMutexHeldElsewhere() {
        ::SetEvent(m_release.Get());
        ::WaitForSingleObject(m_thread.Get(), INFINITE);
    }

private:
    static DWORD WINAPI Hold(void* param) {
        auto* self = static_cast<CMutexHeldElsewhere*>(param);
        brelio::UniqueKernelHandle mutex(::CreateMutexW(nullptr, FALSE, kLocalStorageMutexName));
        ::WaitForSingleObject(mutex.Get(), INFINITE);
        ::SetEvent(self->m_held.Get());
        ::WaitForSingleObject(self->m_release.Get(), INFINITE);
        ::ReleaseMutex(mutex.Get());
        return 0;
    }
    brelio::UniqueKernelHandle m_held, m_release, m_thread;
};

bool WriteSettings(const std::wstring& root, const std::wstring& database) {
    brelio::UniqueRegistryKey settings, account;
    const std::wstring accountPath = std::wstring(kSettingsKeyPath) + L"\\" + kBenchAccount;
    return brelio::CreateRegistryKey(HKEY_CURRENT_USER, kSettingsKeyPath, KEY_WRITE, settings) == ERROR_SUCCESS &&
           brelio::WriteRegistryString(settings.Get(), kAccountValue, kBenchAccount) == ERROR_SUCCESS &&
           brelio::CreateRegistryKey(HKEY_CURRENT_USER, accountPath.c_str(), KEY_WRITE, account) == ERROR_SUCCESS &&
           brelio::WriteRegistryString(account.Get(), kRootDirValue, root) == ERROR_SUCCESS &&
           brelio::WriteRegistryString(account.Get(), kLocalStorageValue, database) == ERROR_SUCCESS;
}

wchar_t Digit(int value) { return static_cast<wchar_t>(L'0' + value); }

std::wstring Subfolder(const std::wstring& root, int index) {
    std::wstring name = root + L"\\Archive\\d";
    name += Digit(index / 100);
    name += Digit(index / 10 % 10);
    name += Digit(index % 10);
    return name;
}

// The first file of each subfolder (file i lies in subfolder i % kSubfolders).
std::wstring FileOf(const std::wstring& root, int index) {
    wchar_t name[32];
    std::swprintf(name, 32, L"\\f%06d.txt", index);
    return Subfolder(root, index % kSubfolders) + name;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 4) {
        std::printf("usage: OverlayBench <overlay library> <shell extension> <scratch folder> [rows]\n");
        return 2;
    }
    const std::wstring scratch = argv[3];
    const int rows = argc > 4 ? _wtoi(argv[4]) : 300000;
    const std::wstring database = scratch + L"\\overlay-bench.db";
    const std::wstring root = scratch + L"\\Root";
    if (!MakeDatabase(database, rows)) {
        std::printf("could not make the database\n");
        return 1;
    }
    std::printf("%d rows; top folder \"Archive\" holds them all, in %d folders\n", rows, kSubfolders);

    brelio::UniqueModule library(::LoadLibraryW(argv[1]));
    auto isMemberOf = library ? reinterpret_cast<IsMemberOfFunction>(
                                    reinterpret_cast<void*>(::GetProcAddress(library.Get(), "IsMemberOf")))
                              : nullptr;
    if (isMemberOf == nullptr) {
        std::printf("no overlay library\n");
        return 1;
    }
    brelio::UniqueKernelHandle mutex(::CreateMutexW(nullptr, FALSE, kLocalStorageMutexName));

    std::vector<std::wstring> files, subfolders;
    for (int i = 0; i < kSubfolders; ++i) {
        files.push_back(FileOf(root, i));
        subfolders.push_back(Subfolder(root, i));
    }
    const std::vector<std::wstring> top = {root + L"\\Archive"};
    auto change = [&](int round) { ChangeOneRow(database, mutex.Get(), round); };

    auto direct = [&](int id, const std::wstring& path) {
        return isMemberOf(id, mutex.Get(), database.c_str(), root.c_str(), path.c_str(), 0, 1);
    };
    Print("library: files", Measure(direct, files, 3));
    Print("library: folders of 1000 rows", Measure(direct, subfolders, 2));
    Print("library: top folder (all rows beneath)", Measure(direct, top, 5));
    Print("library: top folder, a row changed before each item", Measure(direct, top, 5, change));
    {
        CMutexHeldElsewhere held;
        Print("library: storage mutex held by the program", Measure(direct, files, 1));
    }
    {
        brelio::UniqueKernelHandle unshared(
            ::CreateFileW(database.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        Print("library: database file held unshared", Measure(direct, {files[0]}, 1));
    }

    // The handlers, made through the extension's class objects as COM
    // would make them for Explorer.
    if (!WriteSettings(root, database)) {
        std::printf("could not write the settings\n");
        return 1;
    }
    const bool comStarted = SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    {
        brelio::UniqueModule extension(::LoadLibraryW(argv[2]));
        auto getClassObject = extension ? reinterpret_cast<GetClassObjectFunction>(reinterpret_cast<void*>(
                                              ::GetProcAddress(extension.Get(), "DllGetClassObject")))
                                        : nullptr;
        if (getClassObject == nullptr) {
            std::printf("no shell extension\n");
            return 1;
        }
        const CLSID* classes[3] = {&CLSID_IconOverlay1Handler, &CLSID_IconOverlay3Handler, &CLSID_IconOverlay2Handler};
        brelio::ComPtr<IShellIconOverlayIdentifier> handlers[3];
        for (int i = 0; i < 3; ++i) {
            brelio::ComPtr<IClassFactory> factory;
            if (FAILED(getClassObject(*classes[i], IID_IClassFactory, factory.PutVoid())) ||
                FAILED(factory->CreateInstance(nullptr, IID_IShellIconOverlayIdentifier, handlers[i].PutVoid()))) {
                std::printf("no overlay handler\n");
                return 1;
            }
        }
        auto throughHandler = [&](int id, const std::wstring& path) {
            return handlers[id - 1]->IsMemberOf(path.c_str(), 0);
        };
        Print("extension: files", Measure(throughHandler, files, 3));
        Print("extension: folders of 1000 rows", Measure(throughHandler, subfolders, 2));
        Print("extension: top folder (all rows beneath)", Measure(throughHandler, top, 5));
        Print("extension: top folder, a row changed before each item", Measure(throughHandler, top, 5, change));
        {
            CMutexHeldElsewhere held;
            Print("extension: storage mutex held by the program", Measure(throughHandler, files, 1));
        }
        {
            brelio::UniqueKernelHandle unshared(::CreateFileW(database.c_str(), GENERIC_READ, 0, nullptr,
                                                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
            Print("extension: database file held unshared", Measure(throughHandler, {files[0]}, 1));
        }
        for (auto& handler : handlers) handler.Reset();
    }
    if (comStarted) ::CoUninitialize();
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKeyPath);
    return 0;
}
