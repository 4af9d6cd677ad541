#pragma once
#include <windows.h>

#include <atomic>
#include <string>

#include "BrelioCore/JXEvent.h"
#include "BrelioCore/JXView.h"
#include "BrelioServices/NamedMutex.h"
#include "BrelioServices/Settings.h"
#include "BrelioSync/EngineHost.h"
#include "BrelioSync/SyncManager.h"

namespace brelio::test {

// The engine's host without the desktop, for the headless driver, the
// benchmark and the engine's tests: the settings, the storage mutex, the
// stop event, a view standing in for the main frame, the texts of the
// program's string table (compiled into each executable that links this),
// and the sync manager made with it. Its start and stop of the engine are
// the program's, without any window: nothing is asked or shown.
class CHeadlessHost final : public IEngineHost {
public:
    CHeadlessHost() = default;
    CHeadlessHost(const CHeadlessHost&) = delete;
    CHeadlessHost& operator=(const CHeadlessHost&) = delete;

    // The program's start-up without its windows: the storage mutex, the
    // global settings, the user agent and the log switch. 1 when the
    // settings key was made now, 0 when it existed, or the failure.
    int Init();
    // The engine's start for the stored account: its settings, its stored
    // session made the REST client's unchecked, the database readied
    // (replaced when not ours), the three workers started on a folder the
    // options window would take (else kSyncFolderRefused).
    HRESULT StartEngine();
    // Sets the stop event and stops the workers; S_OK when they were not
    // running or all three ended.
    HRESULT StopEngine();

    CSettings& GetSettings() { return m_settings; }
    CSyncManager& GetSyncManager() { return m_syncManager; }
    // Null: session errors are dropped.
    void SetMainFrame(CJXView* frame) { m_mainFrame.store(frame); }

    const CSettings& GetSettings() const override { return m_settings; }
    CNamedMutex& GetStorageMutex() override { return m_storageMutex; }
    CJXEvent& GetStopEvent() override { return m_stopEvent; }
    BOOL PostToMainFrame(UINT message, WPARAM wParam, LPARAM lParam) override;
    std::wstring LoadText(UINT stringId) const override;

private:
    CSettings m_settings;
    CNamedMutex m_storageMutex;
    CJXEvent m_stopEvent{true, false, nullptr};
    // Read by the workers while the host's thread sets and clears it.
    std::atomic<CJXView*> m_mainFrame{nullptr};
    bool m_engineStarted = false;
    // After what its threads use, so that it goes first and awaits them.
    CSyncManager m_syncManager{*this};
};

}  // namespace brelio::test
