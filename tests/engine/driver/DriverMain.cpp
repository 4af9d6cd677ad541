// A headless run of the sync engine for the stored settings, driven by
// commands on standard input, one per line:
//   start    load the account's settings, sign the client in and start
//            the engine's threads
//   full     request a full sync pass
//   partial  request a partial sync pass
//   wait     answer {"event":"idle"} once a pass that started after the
//            last request has ended; later commands wait for it
//   stop     stop the threads
//   dump     print every row of the file table
//   quit     stop and end
// The end of every pass is printed as {"event":"pass-end","status":<id>},
// with the id of the status text the pass closed with.
// Every sync item and every message to the main frame is printed as one
// JSON line, as are the answers to the commands.
#include <windows.h>

#include <deque>
#include <iostream>
#include <memory>
#include <string>

#include "BrelioCore/JXThread.h"
#include "BrelioCore/UniqueHandle.h"
#include "BrelioSync/EngineStringIds.h"
#include "BrelioSync/SyncItem.h"
#include "BrelioSync/SyncManager.h"
#include "DatabaseDump.h"
#include "EngineSession.h"
#include "HeadlessHost.h"
#include "JsonLine.h"

namespace {

using brelio::test::CHeadlessHost;

constexpr UINT WM_DRIVER_COMMAND = WM_APP + 200;  // lParam: std::string*, owned by the receiver

// A message-only window that stands in for the status panel or the main
// frame; the loop below prints what reaches it.
class CDriverView : public CJXView {
public:
    CDriverView() : m_window(::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr)) {}
    HWND GetViewWindow() const override { return m_window.Get(); }

private:
    brelio::UniqueWindow m_window;
};

// The status text of a pass's start or end, or 0 for any other item. A
// pass closes with one status: completed, or what kept it from completing.
UINT PassStatusOf(const IEngineHost& host, const CSyncItem& item) {
    if (item.GetKind() != SYNC_ITEM_STATUS) return 0;
    for (const UINT id : {IDS_SYNC_STARTED, IDS_SYNC_COMPLETED, IDS_SYNC_FOLDER_GONE, IDS_SYNC_INCOMPLETE})
        if (host.LoadText(id) == item.GetPath()) return id;
    return 0;
}

// Prints the message; the status of a pass, when it carries one.
UINT PrintSyncMessage(const IEngineHost& host, WPARAM wParam, LPARAM lParam) {
    if (wParam == SYNCITEM_ITEM) {
        std::unique_ptr<CSyncItem> item(reinterpret_cast<CSyncItem*>(lParam));
        const UINT status = PassStatusOf(host, *item);
        WriteJsonLine("{\"item\":{\"kind\":" + std::to_string(item->GetKind()) +
                      ",\"folder\":" + (item->IsFolder() ? "true" : "false") + ",\"path\":" +
                      JsonText(std::wstring(item->GetPath())) + "}}");
        return status;
    }
    WriteJsonLine("{\"frame\":{\"wParam\":" + std::to_string(wParam) + ",\"lParam\":" + HexCode(static_cast<long>(lParam)) +
                  "}}");
    return 0;
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
        const HRESULT init = m_host.Init();
        if (FAILED(init)) {
            Answer("init-failed", init);
            return 1;
        }
        m_host.GetSyncManager().SetNotifyView(&m_panel);
        m_host.SetMainFrame(&m_frame);
        MSG peek;
        ::PeekMessageW(&peek, nullptr, 0, 0, PM_NOREMOVE);  // the thread's queue exists before the reader posts
        CJXThread reader;
        reader.Create(ReadCommands, reinterpret_cast<void*>(static_cast<UINT_PTR>(::GetCurrentThreadId())), 0);
        WriteJsonLine("{\"event\":\"ready\"}");
        MSG msg;
        while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
            if (msg.message == WM_SYNCITEM) {
                if (!PassStatus(PrintSyncMessage(m_host, msg.wParam, msg.lParam))) break;
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
        while (::PeekMessageW(&msg, nullptr, WM_SYNCITEM, WM_SYNCITEM, PM_REMOVE))
            PrintSyncMessage(m_host, msg.wParam, msg.lParam);
        m_host.SetMainFrame(nullptr);
        reader.Close(0);
        return 0;
    }

private:
    // Follows the passes: a request is served by the first pass that starts
    // after it. False once "quit" ran.
    bool PassStatus(UINT status) {
        if (status == IDS_SYNC_STARTED) {
            m_passServesRequest = m_requested;
            m_requested = false;
        } else if (status != 0) {
            WriteJsonLine("{\"event\":\"pass-end\",\"status\":" + std::to_string(status) + "}");
            if (m_passServesRequest && !m_requested) {
                m_passServesRequest = false;
                if (m_waiting) Idle();
                return RunQueued();
            }
        }
        return true;
    }

    bool IsBusy() const { return m_requested || m_passServesRequest; }

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
        if (command == "start") {
            Answer("started", m_session.Start());
        } else if (command == "full" || command == "partial") {
            if (command == "full")
                m_host.GetSyncManager().RequestFullSync();
            else
                m_host.GetSyncManager().RequestPartialSync();
            m_requested = true;
            Answer(command == "full" ? "full-requested" : "partial-requested", S_OK);
        } else if (command == "wait") {
            m_waiting = true;
            if (!IsBusy()) Idle();
        } else if (command == "stop") {
            Answer("stopped", m_session.Stop());
            m_requested = false;
            m_passServesRequest = false;
            if (m_waiting) Idle();
        } else if (command == "dump") {
            Answer("dumped", m_session.IsStarted() ? DumpFileRows(m_host.GetStorageMutex(), m_session.DatabasePath().c_str()) : E_UNEXPECTED);
        } else if (command == "quit") {
            return false;
        } else {
            WriteJsonLine("{\"event\":\"error\",\"message\":" + JsonText(command) + "}");
        }
        return true;
    }

    CDriverView m_panel;
    CDriverView m_frame;
    // After the views its threads post to, so that it goes first.
    CHeadlessHost m_host;
    CEngineSession m_session{m_host};
    bool m_waiting = false;
    bool m_requested = false;
    bool m_passServesRequest = false;
    std::deque<std::string> m_queued;
};

}  // namespace

int wmain() {
    const brelio::ComInitScope com;
    int code = 0;
    {
        CDriver driver;
        code = driver.Run();
    }
    // Once the host's sync manager has gone, which awaits any thread that
    // outlived the stop.
    if (code == 0) WriteJsonLine("{\"event\":\"bye\"}");
    return code;
}
