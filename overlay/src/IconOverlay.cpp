// BrelioIconOverlay: decides for the shell extension whether one of its
// three overlays applies to an item of the sync folder.
#include <windows.h>

#include "BrelioCore/ErrorFlow.h"
#include "BrelioServices/DatabaseStamp.h"
#include "BrelioServices/RelativePath.h"
#include "ItemStatusCache.h"
#include "OverlayRule.h"

namespace {

// Explorer waits for every answer: the program's short holds of the
// database are waited out, a longer one costs the item its overlay for now.
constexpr DWORD kMutexWaitMs = 20;

CItemStatusCache g_statuses;

// Holds the storage mutex for one scope, when it could be taken.
class CStorageHold {
public:
    explicit CStorageHold(HANDLE mutex) : m_mutex(mutex) {
        if (m_mutex == nullptr) return;
        const DWORD wait = ::WaitForSingleObject(m_mutex, kMutexWaitMs);
        // An abandoned mutex is held all the same; SQLite keeps the file whole.
        m_held = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
    }
    ~CStorageHold() {
        if (m_held) ::ReleaseMutex(m_mutex);
    }
    CStorageHold(const CStorageHold&) = delete;
    CStorageHold& operator=(const CStorageHold&) = delete;
    bool IsHeld() const { return m_held; }

private:
    HANDLE m_mutex;
    bool m_held = false;
};

int OverlayForPath(HANDLE mutex, const wchar_t* database, const wchar_t* root, const wchar_t* path,
                   LONG generation) {
    const wchar_t* relative = GetRelativePath(path, root);
    if (relative == path || relative[0] == L'\0') return 0;
    CStorageHold hold(mutex);
    if (!hold.IsHeld()) return 0;
    DatabaseState state{database, generation, {}};
    if (!ReadDatabaseStamp(database, state.stamp)) return 0;
    return OverlayForStatus(g_statuses.HighestStatus(state, relative));
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) ::DisableThreadLibraryCalls(instance);
    return TRUE;
}

// S_OK when `overlayId` is the overlay of `path`, else S_FALSE. Answers
// are kept for as long as the database file, its path and the settings
// generation stay as they were; the file is read read-only, and never
// while the program holds it.
extern "C" __declspec(dllexport) HRESULT WINAPI IsMemberOf(int overlayId, HANDLE mutex, const wchar_t* database,
                                                          const wchar_t* root, const wchar_t* path, DWORD attributes,
                                                          LONG generation) {
    (void)attributes;
    if (overlayId < 1 || overlayId > 3 || database == nullptr || root == nullptr || path == nullptr) return S_FALSE;
    // Out of memory: no overlay, and nothing thrown into Explorer.
    return brelio::GuardEntry(__func__, S_FALSE, [&] {
        return OverlayForPath(mutex, database, root, path, generation) == overlayId ? S_OK : S_FALSE;
    });
}
