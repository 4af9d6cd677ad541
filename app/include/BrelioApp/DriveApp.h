#pragma once
#include <windows.h>

#include <atomic>
#include <memory>
#include <string>

#include "BrelioApp/OptionsProgram.h"
#include "BrelioCore/JXEvent.h"
#include "BrelioCore/JXIcon.h"
#include "BrelioCore/JXView.h"
#include "BrelioCore/UniqueHandle.h"
#include "BrelioServices/NamedMutex.h"
#include "BrelioServices/Settings.h"
#include "BrelioServices/SyncFolderCheck.h"
#include "BrelioSync/EngineHost.h"

class CMainFrame;
class CSyncManager;
namespace WTL {
class CMessageLoop;
}

// The process-wide application object: owner of the settings, the sync
// manager, the workers' stop event and the storage mutex; knows the main
// frame. Built and changed on the UI thread; the workers only read the
// settings, wait on the stop event, take the mutex and post to the frame,
// all through the engine's host interface. The options window reaches it
// through its own.
class CDriveApp final : public IEngineHost, public IOptionsProgram {
public:
    static CDriveApp* GetInstance();
    static void DestroyInstance();

    CDriveApp(const CDriveApp&) = delete;
    CDriveApp& operator=(const CDriveApp&) = delete;

    // The storage mutex, the global settings, the user agent, the fonts,
    // the Explorer entry, the log switch and the sync manager. 1 when the
    // settings key was made now, 0 when it existed, or the failure.
    HRESULT Init(HINSTANCE instance);
    // Signs in, makes the main frame, runs the first-run options, starts
    // the engine and pumps `loop` until the frame is gone; then stops the
    // engine. The process's exit code: 1 for the normal end, -1 when the
    // sign-in or the first-run options were abandoned.
    int Run(WTL::CMessageLoop* loop, int showCommand);
    // Removes the embedded font and deletes the sync manager, which ends
    // and awaits any thread still running; the caller stops them first.
    void Term();

    // The stored session, or the tenant and web sign-in windows. `owner`
    // is null at start-up and the main frame on a new sign-in.
    [[nodiscard]] bool Login(HWND owner);
    // The first call arms a 20 ms timer whose procedure calls again; the
    // second signs out and in again. Put off while a nested message loop
    // runs.
    void Logout();
    // After the options window stored a new sync folder or selection: the
    // engine stops, the new folder's database is confirmed, the engine
    // starts again with a full sync.
    void ResetLocalStorage(bool folderChanged);
    // Asks whether the existing database of the sync folder is kept; else
    // (and without one) a new one replaces it. A failure is shown and the
    // engine is not started on that folder.
    HRESULT ConfirmExistingStorage(HWND owner);
    // S_OK: the database is of our version and kept; S_FALSE: it was made
    // anew. A file that cannot be read for now (busy, locked) is kept as it
    // is; a failed replacement is shown and leaves the engine stopped.
    HRESULT CheckLocalStorageVersion(HWND owner);
    HWND CreateMainFrame(int showCommand);

    // The stored account's session made the REST client's, asked of the
    // service first when `check`.
    HRESULT UseStoredSession(bool check);
    // Refused, with nothing started, while the stored sync folder is one
    // the options window would not take.
    static constexpr HRESULT kSyncFolderRefused = ::kSyncFolderRefused;
    HRESULT StartSyncThreads();
    // The same with a full sync requested, and the user told when the
    // folder is refused.
    HRESULT StartSyncThreadsOrTell(HWND owner);
    HRESULT StopSyncThreads();

    // Nested message loops (modal windows, message boxes, menus, the
    // update check) are counted; exit, sign-out and the update check wait
    // until the last one has ended, so that nothing is destroyed under a
    // running loop.
    class CNestedLoop {
    public:
        CNestedLoop();
        ~CNestedLoop();
        CNestedLoop(const CNestedLoop&) = delete;
        CNestedLoop& operator=(const CNestedLoop&) = delete;
    };
    bool InNestedLoop() const { return m_nestedLoops > 0; }
    enum DeferredAction : unsigned { kDeferExit = 1, kDeferLogout = 2, kDeferUpdateCheck = 4 };
    void Defer(DeferredAction action) { m_deferred |= action; }

    int ShowMessage(HWND owner, UINT stringId, UINT type) override;
    int ShowMessageText(HWND owner, const wchar_t* text, UINT type);
    // FALSE, with nothing posted, while no main frame exists, so that a
    // worker never posts to a frame that is already gone.
    BOOL PostToMainFrame(UINT message, WPARAM wParam, LPARAM lParam) override;
    // The frame registers itself once its window exists and clears itself
    // on its window's last message.
    void SetMainFrame(CJXView* frame);
    CJXView* GetMainFrame() const { return m_mainFrame.load(); }
    // The frame object while its window exists.
    CMainFrame* GetFrameWindow() const { return m_frameWindow; }
    void SetFrameWindow(CMainFrame* frame) { m_frameWindow = frame; }
    HWND GetMainFrameWindow() const;
    WTL::CMessageLoop* GetMessageLoop() const { return m_messageLoop; }

    HFONT GetFont() const override { return m_uiFont.Get(); }
    HICON GetIcon(bool small);
    HINSTANCE GetModuleInstance() const { return m_instance; }
    CSettings& GetSettings() { return m_settings; }
    const CSettings& GetSettings() const override { return m_settings; }
    CSyncManager* GetSyncManager() const { return m_syncManager.get(); }
    CJXEvent& GetStopEvent() override { return m_stopEvent; }
    CNamedMutex& GetStorageMutex() override { return m_storageMutex; }
    // From the program's string table.
    std::wstring LoadText(UINT stringId) const override;
    // False while the sync folder's database could not be made ready: the
    // engine is not started on it.
    bool IsStorageReady() const { return m_storageReady; }

private:
    CDriveApp();
    ~CDriveApp();

    static void CALLBACK LogoutTimerProc(HWND, UINT, UINT_PTR, DWORD);
    void SignOutAndIn();
    void LeaveNestedLoop();
    void RunDeferred();
    // On the way out: the web sign-out when the user keeps no sign-in.
    void SignOutAtExit();
    // A cancelled first run: the frame and its tray icon go before the
    // process ends.
    void DestroyFrameNow();
    HRESULT ReplaceLocalStorage(HWND owner, const std::wstring& path);
    bool InteractiveLogin(HWND owner);

    HINSTANCE m_instance = nullptr;
    UINT_PTR m_logoutTimerId = 0;
    brelio::UniqueFont m_uiFont;
    brelio::UniqueFontMemResource m_embeddedFont;
    CJXIcon m_icons[2];
    // Read by the workers while the UI thread sets and clears it.
    std::atomic<CJXView*> m_mainFrame{nullptr};
    CMainFrame* m_frameWindow = nullptr;
    WTL::CMessageLoop* m_messageLoop = nullptr;
    int m_nestedLoops = 0;
    unsigned m_deferred = 0;
    bool m_storageReady = true;
    // Between StartSyncThreads and the next StopSyncThreads.
    bool m_threadsStarted = false;
    CSettings m_settings;
    CJXEvent m_stopEvent{true, false, nullptr};
    CNamedMutex m_storageMutex;
    // After what its threads use, so that it goes first: the threads end
    // before the stop event and the storage mutex are closed.
    std::unique_ptr<CSyncManager> m_syncManager;
};
