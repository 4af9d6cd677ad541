#include "BrelioApp/DriveApp.h"

#include "BrelioApp/StringIds.h"
#include "BrelioApp/StringTable.h"
#include "BrelioServices/Log.h"
#include "BrelioServices/PathHelpers.h"
#include "BrelioServices/RequestTexts.h"
#include "BrelioServices/RestFrame.h"
#include "BrelioSync/SyncManager.h"

// urlmon.h (through the shell headers) turns this name into a macro.
#undef IsLoggingEnabled

namespace {
CDriveApp* g_instance = nullptr;
}

CDriveApp* CDriveApp::GetInstance() {
    if (g_instance == nullptr) g_instance = new CDriveApp();
    return g_instance;
}

void CDriveApp::DestroyInstance() {
    delete g_instance;
    g_instance = nullptr;
}

CDriveApp::CDriveApp() = default;

CDriveApp::~CDriveApp() {
    // The engine's threads take the mutex and wait on the stop event until
    // they have ended: the manager goes first and awaits them.
    m_syncManager.reset();
    m_storageMutex.Close();
}

HRESULT CDriveApp::Init(HINSTANCE instance) {
    m_instance = instance;
    const HRESULT created = m_storageMutex.Create(kLocalStorageMutexName);
    if (FAILED(created)) return created;
    const int global = m_settings.LoadGlobal();
    if (global < 0) return global;
    SetUserAgent(MakeUserAgent().c_str());
    if (m_settings.IsLoggingEnabled()) {
        SetLogPath(GetLogFilePath().c_str());
        SetLogEnabled(true);
    }
    if (!m_syncManager) m_syncManager = std::make_unique<CSyncManager>();
    return m_settings.IsFirstRun() ? 1 : 0;
}

void CDriveApp::Term() { m_syncManager.reset(); }

int CDriveApp::ShowMessage(HWND owner, UINT stringId, UINT type) {
    return ShowMessageText(owner, LoadStringText(stringId).c_str(), type);
}

int CDriveApp::ShowMessageText(HWND owner, const wchar_t* text, UINT type) {
    CJXView* frame = m_mainFrame.load();
    if (owner == nullptr && frame != nullptr) owner = frame->GetViewWindow();
    if (owner != nullptr && !::IsWindow(owner)) owner = nullptr;
    return ::MessageBoxW(owner, text, LoadStringText(IDS_APP_TITLE).c_str(), type);
}

BOOL CDriveApp::PostToMainFrame(UINT message, WPARAM wParam, LPARAM lParam) {
    CJXView* frame = m_mainFrame.load();
    if (frame == nullptr) return FALSE;
    return frame->PostMessageW(message, wParam, lParam);
}

void CDriveApp::SetMainFrame(CJXView* frame) { m_mainFrame.store(frame); }
