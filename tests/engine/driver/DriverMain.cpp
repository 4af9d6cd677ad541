// A headless run of the sync engine for the stored settings, driven by
// commands on standard input, one per line:
//   start    load the account's settings and sign the client in
//   full     run a full sync pass on a worker thread
//   partial  (not available yet)
//   wait     answer {"event":"idle"} once no pass is running; later
//            commands wait for it
//   stop     set the stop event and wait for the pass to end
//   dump     print every row of the file table
//   quit     stop and end
// Every sync item and every message to the main frame is printed as one
// JSON line, as are the answers to the commands.
#include <windows.h>
#include <objbase.h>

#include <deque>
#include <iostream>
#include <memory>
#include <string>

#include "BrelioApp/DriveApp.h"
#include "BrelioCore/JXThread.h"
#include "BrelioSync/SyncItem.h"
#include "BrelioSync/SyncManager.h"
#include "DatabaseDump.h"
#include "EngineSession.h"
#include "JsonLine.h"

namespace {

constexpr UINT WM_DRIVER_COMMAND = WM_APP + 200;  // lParam: std::string*, owned by the receiver

// A message-only window that stands in for the status panel or the main
// frame; the loop below prints what reaches it.
class CDriverView : public CJXView {
public:
    CDriverView() : m_window(::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr)) {}
    ~CDriverView() override {
        if (m_window != nullptr) ::DestroyWindow(m_window);
    }
    HWND GetViewWindow() const override { return m_window; }

private:
    HWND m_window;
};

void PrintSyncMessage(WPARAM wParam, LPARAM lParam) {
    if (wParam == SYNCITEM_ITEM) {
        std::unique_ptr<CSyncItem> item(reinterpret_cast<CSyncItem*>(lParam));
        WriteJsonLine("{\"item\":{\"kind\":" + std::to_string(item->GetKind()) +
                      ",\"folder\":" + (item->IsFolder() ? "true" : "false") + ",\"path\":" +
                      JsonText(std::wstring(item->GetPath())) + "}}");
        return;
    }
    WriteJsonLine("{\"frame\":{\"wParam\":" + std::to_string(wParam) + ",\"lParam\":" + HexCode(static_cast<long>(lParam)) +
                  "}}");
}

void Answer(const char* event, HRESULT hr) {
    WriteJsonLine(std::string("{\"event\":\"") + event + "\",\"result\":" + HexCode(hr) + "}");
}

DWORD WINAPI ReadCommands(void* param) {
    const DWORD mainThread = static_cast<DWORD>(reinterpret_cast<UINT_PTR>(param));
    std::string line;
    while (std::getline(std::cin, line)) {
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
        if (line.empty()) continue;
        ::PostThreadMessageW(mainThread, WM_DRIVER_COMMAND, 0, reinterpret_cast<LPARAM>(new std::string(line)));
        if (line == "quit") return 0;
    }
    ::PostThreadMessageW(mainThread, WM_DRIVER_COMMAND, 0, reinterpret_cast<LPARAM>(new std::string("quit")));
    return 0;
}

class CDriver {
public:
    int Run() {
        CDriveApp* app = CDriveApp::GetInstance();
        const HRESULT init = app->Init(::GetModuleHandleW(nullptr));
        if (FAILED(init)) {
            Answer("init-failed", init);
            return 1;
        }
        app->GetSyncManager()->SetNotifyView(&m_panel);
        app->SetMainFrame(&m_frame);
        MSG peek;
        ::PeekMessageW(&peek, nullptr, 0, 0, PM_NOREMOVE);  // the thread's queue exists before the reader posts
        CJXThread reader;
        reader.Create(ReadCommands, reinterpret_cast<void*>(static_cast<UINT_PTR>(::GetCurrentThreadId())), 0);
        WriteJsonLine("{\"event\":\"ready\"}");
        MSG msg;
        while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
            if (msg.message == WM_SYNCITEM) {
                PrintSyncMessage(msg.wParam, msg.lParam);
            } else if (msg.message == CEngineSession::WM_PASS_DONE) {
                m_session.PassEnded();
                Answer("pass-end", static_cast<HRESULT>(msg.wParam));
                if (m_waiting) Idle();
                if (!RunQueued()) break;
            } else if (msg.message == WM_DRIVER_COMMAND) {
                std::unique_ptr<std::string> command(reinterpret_cast<std::string*>(msg.lParam));
                m_queued.push_back(*command);
                if (!RunQueued()) break;
            } else {
                ::DispatchMessageW(&msg);
            }
        }
        m_session.Stop();
        // Items posted while stopping are printed and freed too.
        while (::PeekMessageW(&msg, nullptr, WM_SYNCITEM, WM_SYNCITEM, PM_REMOVE)) PrintSyncMessage(msg.wParam, msg.lParam);
        app->SetMainFrame(nullptr);
        app->Term();
        reader.Close(0);
        WriteJsonLine("{\"event\":\"bye\"}");
        return 0;
    }

private:
    // Commands wait while a "wait" is pending; false once "quit" ran.
    bool RunQueued() {
        while (!m_waiting && !m_queued.empty()) {
            const std::string command = m_queued.front();
            m_queued.pop_front();
            if (!Handle(command)) return false;
        }
        return true;
    }

    void Idle() {
        m_waiting = false;
        WriteJsonLine("{\"event\":\"idle\"}");
    }

    bool Handle(const std::string& command) {
        CDriveApp* app = CDriveApp::GetInstance();
        if (command == "start") {
            Answer("started", m_session.Start(app->GetSyncManager(), ::GetCurrentThreadId()));
        } else if (command == "full") {
            Answer("full-requested", m_session.RunFullPass());
        } else if (command == "partial") {
            WriteJsonLine("{\"event\":\"error\",\"message\":\"partial sync is not available yet\"}");
        } else if (command == "wait") {
            m_waiting = true;
            if (!m_session.IsPassRunning()) Idle();
        } else if (command == "stop") {
            Answer("stopped", m_session.Stop());
        } else if (command == "dump") {
            Answer("dumped", m_session.IsStarted() ? DumpFileRows(m_session.Environment().databasePath.c_str())
                                                   : E_UNEXPECTED);
        } else if (command == "quit") {
            return false;
        } else {
            WriteJsonLine("{\"event\":\"error\",\"message\":" + JsonText(command) + "}");
        }
        return true;
    }

    CDriverView m_panel;
    CDriverView m_frame;
    CEngineSession m_session;
    bool m_waiting = false;
    std::deque<std::string> m_queued;
};

}  // namespace

int wmain() {
    const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    int code = 0;
    {
        CDriver driver;
        code = driver.Run();
    }
    CDriveApp::DestroyInstance();
    if (SUCCEEDED(com)) ::CoUninitialize();
    return code;
}
