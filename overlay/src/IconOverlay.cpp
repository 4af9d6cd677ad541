// BrelioIconOverlay: decides for the shell extension whether one of its
// three overlays applies to an item of the sync folder.
#include <windows.h>

#include "BrelioServices/RelativePath.h"
#include "BrelioServices/SQLiteConnection.h"
#include "OverlayRule.h"

namespace {

// Explorer's thread waits for the database no longer than this; an item
// asked about while the program holds the database gets no overlay.
constexpr DWORD kMutexWaitMs = 200;

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

int OverlayForPath(HANDLE mutex, const wchar_t* database, const wchar_t* root, const wchar_t* path) {
    const wchar_t* relative = GetRelativePath(path, root);
    if (relative == path || relative[0] == L'\0') return 0;
    CStorageHold hold(mutex);
    if (!hold.IsHeld()) return 0;
    try {
        CSQLiteConnection db;
        db.OpenCurrent(database, OpenMode::ReadOnly);
        return OverlayForItem(db, relative);
    } catch (...) {
        // No database yet, another schema, a locked file: no overlay.
        return 0;
    }
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) ::DisableThreadLibraryCalls(instance);
    return TRUE;
}

// S_OK when `overlayId` is the overlay of `path`, else S_FALSE. The
// database is opened read-only for each question, so nothing is kept that
// a settings change (a new generation) could make stale.
extern "C" __declspec(dllexport) HRESULT WINAPI IsMemberOf(int overlayId, HANDLE mutex, const wchar_t* database,
                                                          const wchar_t* root, const wchar_t* path, DWORD attributes,
                                                          LONG generation) {
    (void)attributes;
    (void)generation;
    if (overlayId < 1 || overlayId > 3 || database == nullptr || root == nullptr || path == nullptr) return S_FALSE;
    return OverlayForPath(mutex, database, root, path) == overlayId ? S_OK : S_FALSE;
}
