#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "BrelioCore/UniqueHandle.h"
#include "BrelioFramework/AppModule.h"
#include "BrelioFramework/MessageLoop.h"
#include "BrelioFramework/WindowImpl.h"

namespace {

std::vector<std::string> g_events;

class CRecordingWindow : public ATL::CWindowImpl<CRecordingWindow, ATL::CWindow, ATL::CWinTraits<WS_POPUP, 0>> {
public:
    BEGIN_MSG_MAP(CRecordingWindow)
        MESSAGE_RANGE_HANDLER(WM_APP, WM_APP + 100, OnApp)
    END_MSG_MAP()

private:
    LRESULT OnApp(UINT message, WPARAM, LPARAM, BOOL&) {
        g_events.push_back("dispatched " + std::to_string(message - WM_APP));
        if (message == WM_APP + 9) ::PostQuitMessage(3);
        return 0;
    }
};

class CFilter : public WTL::CMessageFilter {
public:
    CFilter(std::string name, UINT consumes, WTL::CMessageLoop* removeFrom = nullptr)
        : m_name(std::move(name)), m_consumes(consumes), m_removeFrom(removeFrom) {}
    BOOL PreTranslateMessage(MSG* msg) override {
        if (msg->message < WM_APP || msg->message > WM_APP + 100) return FALSE;
        g_events.push_back(m_name + " saw " + std::to_string(msg->message - WM_APP));
        if (m_removeFrom != nullptr) m_removeFrom->RemoveMessageFilter(this);
        return msg->message == m_consumes;
    }

private:
    std::string m_name;
    UINT m_consumes;
    WTL::CMessageLoop* m_removeFrom;
};

// Runs when the queue has run empty; the first time it posts the message
// that ends the loop.
class CIdle : public WTL::CIdleHandler {
public:
    explicit CIdle(HWND window) : m_window(window) {}
    int calls = 0;
    BOOL OnIdle() override {
        if (++calls == 1) ::PostMessageW(m_window, WM_APP + 9, 0, 0);
        g_events.push_back("idle");
        return FALSE;
    }

private:
    HWND m_window;
};

}  // namespace

TEST(MessageLoop, FiltersLastAddedFirstThenDispatchIdleWhenEmptyAndQuitCode) {
    g_events.clear();
    CRecordingWindow window;
    ASSERT_NE(window.Create(nullptr, RECT{0, 0, 10, 10}), nullptr);
    WTL::CMessageLoop loop;
    CFilter first("first", WM_APP + 1);
    CFilter once("once", 0, &loop);  // removes itself after one look
    CIdle idle(window);
    ASSERT_TRUE(loop.AddMessageFilter(&first));
    ASSERT_TRUE(loop.AddMessageFilter(&once));
    EXPECT_FALSE(loop.AddMessageFilter(&first)) << "a filter is added once";
    ASSERT_TRUE(loop.AddIdleHandler(&idle));

    window.PostMessage(WM_APP + 1);
    window.PostMessage(WM_APP + 2);
    EXPECT_EQ(loop.Run(), 3);
    EXPECT_EQ(g_events, (std::vector<std::string>{"once saw 1", "first saw 1", "first saw 2", "dispatched 2", "idle",
                                                  "first saw 9", "dispatched 9"}));
    EXPECT_EQ(idle.calls, 1);
    EXPECT_FALSE(loop.RemoveMessageFilter(&once)) << "it removed itself";
    EXPECT_TRUE(loop.RemoveMessageFilter(&first));
    EXPECT_TRUE(loop.RemoveIdleHandler(&idle));
    window.DestroyWindow();
}

TEST(MessageLoop, IdleMessagesAreTheOnesThatAreNotMouseMovesPaintsOrCaretTimers) {
    for (UINT message : {UINT{WM_MOUSEMOVE}, UINT{WM_NCMOUSEMOVE}, UINT{WM_PAINT}, 0x0118u}) {
        MSG msg = {nullptr, message, 0, 0, 0, {0, 0}};
        EXPECT_FALSE(WTL::CMessageLoop::IsIdleMessage(&msg)) << message;
    }
    MSG key = {nullptr, WM_KEYDOWN, 0, 0, 0, {0, 0}};
    EXPECT_TRUE(WTL::CMessageLoop::IsIdleMessage(&key));
}

namespace {

DWORD WINAPI AddLoopOnOtherThread(void* param) {
    auto* seen = static_cast<WTL::CMessageLoop**>(param);
    WTL::CMessageLoop loop;
    WTL::GetAppModule().AddMessageLoop(&loop);
    seen[0] = WTL::GetAppModule().GetMessageLoop();
    WTL::GetAppModule().RemoveMessageLoop();
    seen[1] = WTL::GetAppModule().GetMessageLoop();
    return 0;
}

}  // namespace

TEST(AppModule, KeepsOneMessageLoopPerThread) {
    WTL::CAppModule& module = WTL::GetAppModule();
    ASSERT_EQ(module.Init(::GetModuleHandleW(nullptr)), S_OK);
    WTL::CMessageLoop loop;
    WTL::CMessageLoop second;
    ASSERT_TRUE(module.AddMessageLoop(&loop));
    EXPECT_FALSE(module.AddMessageLoop(&second)) << "one loop per thread";
    EXPECT_EQ(module.GetMessageLoop(), &loop);

    WTL::CMessageLoop* seen[2] = {nullptr, &loop};
    brelio::UniqueKernelHandle thread(::CreateThread(nullptr, 0, AddLoopOnOtherThread, seen, 0, nullptr));
    ASSERT_TRUE(thread);
    ::WaitForSingleObject(thread.Get(), INFINITE);
    EXPECT_NE(seen[0], nullptr);
    EXPECT_NE(seen[0], &loop) << "the other thread's own loop";
    EXPECT_EQ(seen[1], nullptr);
    EXPECT_EQ(module.GetMessageLoop(), &loop) << "this thread's loop is untouched";

    EXPECT_TRUE(module.RemoveMessageLoop());
    EXPECT_FALSE(module.RemoveMessageLoop());
    EXPECT_EQ(module.GetMessageLoop(), nullptr);
    module.Term();
}
