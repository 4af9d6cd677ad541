// Measures the whole sync engine (its three threads, as the program starts
// them) against the local stand-in. Prints one "name value unit" line per
// figure; a full sync also the program's peak working set.
//   SyncBench full  <tenant> <session> <sync folder> <files>   first full sync
//   SyncBench save  <tenant> <session> <sync folder> <idle ms>  local save to upload
//   SyncBench idle  <tenant> <session> <sync folder> <seconds>  CPU time while idle
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <memory>
#include <string>

#include "BrelioCore/UniqueHandle.h"
#include "BrelioServices/RegistryLayout.h"
#include "BrelioSync/EngineStringIds.h"
#include "BrelioSync/SyncItem.h"
#include "BrelioSync/SyncManager.h"
#include "HeadlessHost.h"

namespace {

using brelio::test::CHeadlessHost;

class CBenchView : public CJXView {
public:
    CBenchView() : m_window(::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr)) {}
    HWND GetViewWindow() const override { return m_window.Get(); }

private:
    brelio::UniqueWindow m_window;
};

double Seconds(ULONGLONG fromTicks) { return static_cast<double>(::GetTickCount64() - fromTicks) / 1000.0; }

// Pumps posted items until one matches, or the time is up.
template <typename Match>
bool PumpUntil(Match match, DWORD milliseconds) {
    const ULONGLONG deadline = ::GetTickCount64() + milliseconds;
    MSG msg;
    while (::GetTickCount64() < deadline) {
        if (!::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
            continue;
        }
        if (msg.message != WM_SYNCITEM || msg.wParam != SYNCITEM_ITEM) continue;
        std::unique_ptr<CSyncItem> item(reinterpret_cast<CSyncItem*>(msg.lParam));
        if (match(*item)) return true;
    }
    return false;
}

bool IsPassEnd(const IEngineHost& host, const CSyncItem& item) {
    return item.GetKind() == SYNC_ITEM_STATUS && host.LoadText(IDS_SYNC_COMPLETED) == item.GetPath();
}

double CpuSeconds() {
    FILETIME created, exited, kernel, user;
    ::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto ticks = [](const FILETIME& t) { return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
    return static_cast<double>(ticks(kernel) + ticks(user)) / 1e7;
}

double PeakWorkingSetMB() {
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof(counters);
    if (!::K32GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof(counters))) return 0;
    return static_cast<double>(counters.PeakWorkingSetSize) / (1024.0 * 1024.0);
}

HRESULT SetDword(const wchar_t* name, DWORD value) {
    return HRESULT_FROM_WIN32(
        ::RegSetKeyValueW(HKEY_CURRENT_USER, kSettingsKeyPath, name, REG_DWORD, &value, sizeof(value)));
}

// Every setting the figures depend on is set here, whatever an earlier run
// or test left in the prefix: logging alone makes a first sync several
// times slower.
HRESULT StoreSettings(const wchar_t* tenant, const wchar_t* session, const wchar_t* root, DWORD idleTime) {
    HRESULT hr = SetDword(kEnableLoggingValue, 0);
    if (FAILED(hr)) return hr;
    CSettings settings;
    if (settings.LoadGlobal() < 0) return E_FAIL;
    if (settings.SetAccount(tenant, L"bench") != ERROR_SUCCESS) return E_FAIL;
    hr = settings.SetRootDir(root);
    if (FAILED(hr)) return hr;
    if (settings.SetSessionId(session) != ERROR_SUCCESS) return E_FAIL;
    return SetDword(kSyncIdleTimeValue, idleTime);
}

// A database left by an earlier run of the same account and folder would
// have the first full sync find everything in sync already: every run
// starts from none.
HRESULT RemoveDatabase(const std::wstring& path) {
    for (const wchar_t* suffix : {L"", L"-journal", L"-wal", L"-shm"}) {
        const std::wstring file = path + suffix;
        if (::DeleteFileW(file.c_str())) continue;
        const DWORD error = ::GetLastError();
        if (error != ERROR_FILE_NOT_FOUND) return HRESULT_FROM_WIN32(error);
    }
    return S_OK;
}

HRESULT StartEngine(CHeadlessHost& host) {
    CSettings& settings = host.GetSettings();
    const HRESULT hr = settings.LoadAccount();
    if (FAILED(hr)) return hr;
    const std::wstring database = settings.GetLocalStoragePath();
    if (database.empty()) return E_FAIL;
    const HRESULT removed = RemoveDatabase(database);
    if (FAILED(removed)) {
        std::fprintf(stderr, "cannot remove the earlier database %ls (0x%lx)\n", database.c_str(),
                     static_cast<unsigned long>(removed));
        return removed;
    }
    return host.StartEngine();
}

int Run(const std::wstring& mode, const wchar_t* tenant, const wchar_t* session, const wchar_t* root, DWORD number) {
    const DWORD idleTime = mode == L"save" ? number : 600000;
    if (FAILED(StoreSettings(tenant, session, root, idleTime))) return 2;
    CBenchView panel, frame;
    // After the views its threads post to, so that it goes first.
    CHeadlessHost host;
    if (FAILED(host.Init())) return 2;
    host.GetSyncManager().SetNotifyView(&panel);
    host.SetMainFrame(&frame);
    if (FAILED(StartEngine(host))) return 3;

    const ULONGLONG started = ::GetTickCount64();
    host.GetSyncManager().RequestFullSync();
    if (!PumpUntil([&](const CSyncItem& item) { return IsPassEnd(host, item); }, 3600000)) return 4;
    const double fullSeconds = Seconds(started);
    if (mode == L"full") {
        std::printf("seconds %.2f s\nfiles/s %.1f files/s\npeak-working-set %.1f MiB\n", fullSeconds,
                    number / fullSeconds, PeakWorkingSetMB());
    } else if (mode == L"save") {
        // The monitor's first read may come after the pass; a save before it
        // is never reported.
        PumpUntil([](const CSyncItem&) { return false; }, 1000);
        const std::wstring path = std::wstring(root) + L"\\saved.txt";
        const ULONGLONG saved = ::GetTickCount64();
        {
            const brelio::UniqueKernelHandle file(
                ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
            DWORD written = 0;
            ::WriteFile(file.Get(), "saved", 5, &written, nullptr);
        }
        const bool uploaded = PumpUntil(
            [&](const CSyncItem& item) { return item.GetKind() == SYNC_ITEM_DONE && path == item.GetPath(); },
            60000 + idleTime * 4);
        if (!uploaded) return 5;
        std::printf("save-to-upload-ms %.0f\n", Seconds(saved) * 1000.0);
    } else {
        const double before = CpuSeconds();
        PumpUntil([](const CSyncItem&) { return false; }, number * 1000);
        std::printf("idle-cpu-seconds %.3f\n", CpuSeconds() - before);
    }
    (void)host.StopEngine();
    host.SetMainFrame(nullptr);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 6) {
        std::fprintf(stderr, "usage: SyncBench full|save|idle <tenant> <session> <sync folder> <number>\n");
        return 1;
    }
    const brelio::ComInitScope com;
    return Run(argv[1], argv[2], argv[3], argv[4], static_cast<DWORD>(_wtoi(argv[5])));
}
