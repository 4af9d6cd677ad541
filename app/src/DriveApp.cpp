#include "BrelioApp/DriveApp.h"

#include <shellapi.h>
#include <shlobj.h>

#include <cstdlib>

#include "BrelioApp/EmbeddedFont.h"
#include "BrelioApp/MainFrame.h"
#include "BrelioApp/ResourceIds.h"
#include "BrelioApp/StringIds.h"
#include "BrelioCore/StringTable.h"
#include "BrelioServices/Log.h"
#include "BrelioServices/NavigationPane.h"
#include "BrelioServices/PathHelpers.h"
#include "BrelioServices/RequestTexts.h"
#include "BrelioServices/RestFrame.h"
#include "BrelioSync/SyncManager.h"

// urlmon.h (through the shell headers) turns this name into a macro.
#undef IsLoggingEnabled

namespace {
CDriveApp* g_instance = nullptr;

brelio::UniqueFont CreateUiFont() {
    LOGFONTW font = {};
    HDC screen = ::GetDC(nullptr);
    const int pixelsPerInch = screen != nullptr ? ::GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen != nullptr) ::ReleaseDC(nullptr, screen);
    // 90 tenths of a point, as a point-size font is made for the screen.
    font.lfHeight = -std::abs(::MulDiv(pixelsPerInch, 90, 720));
    font.lfCharSet = DEFAULT_CHARSET;
    ::lstrcpynW(font.lfFaceName, L"\uB9D1\uC740 \uACE0\uB515", LF_FACESIZE);
    return brelio::UniqueFont(::CreateFontIndirectW(&font));
}
}  // namespace

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
    UnloadEmbeddedFont(m_embeddedFont);
}

HRESULT CDriveApp::Init(HINSTANCE instance) {
    m_instance = instance;
    // A mutex that cannot be made leaves the database unguarded against
    // the shell extension only; the program still runs.
    (void)m_storageMutex.Create(kLocalStorageMutexName);
    const int global = m_settings.LoadGlobal();
    if (global < 0) return global;
    SetUserAgent(MakeUserAgent().c_str());
    if (!m_uiFont) m_uiFont = CreateUiFont();
    (void)LoadEmbeddedFont(m_embeddedFont, instance);
    (void)RegisterNavigationPane(m_settings.IsFirstRun());
    if (m_settings.IsLoggingEnabled()) {
        SetLogPath(GetLogFilePath().c_str());
        SetLogEnabled(true);
    }
    if (!m_syncManager) m_syncManager = std::make_unique<CSyncManager>(*this);
    if (m_settings.IsFirstRun()) ::SHLoadNonloadedIconOverlayIdentifiers();
    return global;
}

void CDriveApp::Term() {
    UnloadEmbeddedFont(m_embeddedFont);
    m_syncManager.reset();
    m_storageMutex.Close();
}

HICON CDriveApp::GetIcon(bool small) {
    CJXIcon& icon = m_icons[small ? 0 : 1];
    if (icon.IsNull()) icon.Load(m_instance, IDI_PROGRAM, small ? CJXIcon::Small : CJXIcon::Large);
    return icon;
}

int CDriveApp::ShowMessage(HWND owner, UINT stringId, UINT type) {
    return ShowMessageText(owner, LoadStringText(stringId).c_str(), type);
}

int CDriveApp::ShowMessageText(HWND owner, const wchar_t* text, UINT type) {
    CJXView* frame = m_mainFrame.load();
    if (owner == nullptr && frame != nullptr) owner = frame->GetViewWindow();
    if (owner != nullptr && !::IsWindow(owner)) owner = nullptr;
    CNestedLoop box;
    return ::MessageBoxW(owner, text, LoadStringText(IDS_APP_TITLE).c_str(), type);
}

BOOL CDriveApp::PostToMainFrame(UINT message, WPARAM wParam, LPARAM lParam) {
    CJXView* frame = m_mainFrame.load();
    if (frame == nullptr) return FALSE;
    return frame->PostMessageW(message, wParam, lParam);
}

std::wstring CDriveApp::LoadText(UINT stringId) const { return LoadStringText(stringId); }

void CDriveApp::SetMainFrame(CJXView* frame) { m_mainFrame.store(frame); }

HWND CDriveApp::GetMainFrameWindow() const {
    CJXView* frame = m_mainFrame.load();
    return frame != nullptr ? frame->GetViewWindow() : nullptr;
}
