#pragma once
#include <windows.h>

#include <atomic>
#include <memory>
#include <string>

#include "BrelioCore/JXEvent.h"
#include "BrelioCore/JXView.h"
#include "BrelioCore/UniqueHandle.h"
#include "BrelioServices/NamedMutex.h"
#include "BrelioServices/Settings.h"

class CSyncManager;

// The process-wide application object: owner of the settings, the sync
// manager, the workers' stop event and the storage mutex; knows the main
// frame. Built and changed on the UI thread; the workers only read the
// settings, wait on the stop event, take the mutex and post to the frame.
class CDriveApp {
public:
    static CDriveApp* GetInstance();
    static void DestroyInstance();

    CDriveApp(const CDriveApp&) = delete;
    CDriveApp& operator=(const CDriveApp&) = delete;

    // The start-up steps the engine stands on: the storage mutex, the
    // global settings, the user agent, the log switch and the sync
    // manager. 1 on a first run, 0 otherwise, or the failure.
    HRESULT Init(HINSTANCE instance);
    // Deletes the sync manager, which ends and awaits any thread still
    // running; the caller stops them first.
    void Term();

    int ShowMessage(HWND owner, UINT stringId, UINT type);
    int ShowMessageText(HWND owner, const wchar_t* text, UINT type);
    // FALSE, with nothing posted, while no main frame exists, so that a
    // worker never posts to a frame that is already gone.
    BOOL PostToMainFrame(UINT message, WPARAM wParam, LPARAM lParam);
    // The frame registers itself once its window exists and clears itself
    // on its window's last message.
    void SetMainFrame(CJXView* frame);
    CJXView* GetMainFrame() const { return m_mainFrame.load(); }

    HFONT GetFont() const { return m_uiFont.Get(); }
    HINSTANCE GetModuleInstance() const { return m_instance; }
    CSettings& GetSettings() { return m_settings; }
    CSyncManager* GetSyncManager() const { return m_syncManager.get(); }
    CJXEvent& GetStopEvent() { return m_stopEvent; }
    CNamedMutex& GetStorageMutex() { return m_storageMutex; }

private:
    CDriveApp();
    ~CDriveApp();

    HINSTANCE m_instance = nullptr;
    UINT_PTR m_logoutTimerId = 0;
    brelio::UniqueFont m_uiFont;
    brelio::UniqueFontMemResource m_embeddedFont;
    // Read by the workers while the UI thread sets and clears it.
    std::atomic<CJXView*> m_mainFrame{nullptr};
    CSettings m_settings;
    CJXEvent m_stopEvent{true, false, nullptr};
    CNamedMutex m_storageMutex;
    // After what its threads use, so that it goes first: the threads end
    // before the stop event and the storage mutex are closed.
    std::unique_ptr<CSyncManager> m_syncManager;
};
