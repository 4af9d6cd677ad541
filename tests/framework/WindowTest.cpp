#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <new>
#include <string>
#include <vector>

#include "BrelioFramework/WindowImpl.h"

namespace {

// A base map that takes WM_USER + 1 and WM_USER + 2 (the second one only
// on the alternate map 1).
class CBaseMap {
public:
    std::vector<std::string> calls;
    BEGIN_MSG_MAP(CBaseMap)
        MESSAGE_HANDLER(WM_USER + 1, OnFirst)
    ALT_MSG_MAP(1)
        MESSAGE_HANDLER(WM_USER + 2, OnSecond)
    END_MSG_MAP()

private:
    LRESULT OnFirst(UINT, WPARAM, LPARAM, BOOL&) {
        calls.push_back("base");
        return 11;
    }
    LRESULT OnSecond(UINT, WPARAM, LPARAM, BOOL&) {
        calls.push_back("base alt");
        return 12;
    }
};

// A window whose map has an entry that passes on (bHandled = FALSE), a
// chained base, a chained member, command and notify routing, and
// reflection of children's notifications.
class CMapWindow : public ATL::CWindowImpl<CMapWindow, ATL::CWindow, ATL::CWinTraits<WS_POPUP, 0>>, public CBaseMap {
public:
    DECLARE_WND_CLASS(L"BrelioTest.MapWindow")
    CBaseMap member;
    int finalMessages = 0;
    bool destroyInHandler = false;

    BEGIN_MSG_MAP(CMapWindow)
        MESSAGE_HANDLER(WM_USER + 1, OnPassOn)
        MESSAGE_HANDLER(WM_USER + 5, OnDestroyNow)
        COMMAND_ID_HANDLER(40, OnCommand)
        NOTIFY_HANDLER(41, 7, OnNotify)
        CHAIN_MSG_MAP(CBaseMap)
        CHAIN_MSG_MAP_ALT(CBaseMap, 1)
        CHAIN_MSG_MAP_MEMBER(member)
        REFLECT_NOTIFICATIONS()
    END_MSG_MAP()

    void OnFinalMessage(HWND) override { ++finalMessages; }

private:
    LRESULT OnPassOn(UINT, WPARAM, LPARAM, BOOL& handled) {
        calls.push_back("window");
        handled = FALSE;
        return 0;
    }
    LRESULT OnDestroyNow(UINT, WPARAM, LPARAM, BOOL&) {
        DestroyWindow();
        // Still inside the message: the final message has not come yet.
        calls.push_back(finalMessages == 0 ? "destroyed, final pending" : "final too early");
        return 5;
    }
    LRESULT OnCommand(WORD code, WORD id, HWND, BOOL&) { return MAKELONG(id, code); }
    LRESULT OnNotify(int id, LPNMHDR header, BOOL&) { return id * 100 + static_cast<int>(header->code); }
};

// A child control that handles its own reflected notifications.
class CReflectedChild : public ATL::CWindowImpl<CReflectedChild> {
public:
    DECLARE_WND_SUPERCLASS(L"BrelioTest.ReflectedButton", L"BUTTON")
    int reflectedCommands = 0;
    BEGIN_MSG_MAP(CReflectedChild)
        MESSAGE_HANDLER(OCM_COMMAND, OnReflectedCommand)
        DEFAULT_REFLECTION_HANDLER()
    END_MSG_MAP()

private:
    LRESULT OnReflectedCommand(UINT, WPARAM, LPARAM, BOOL&) {
        ++reflectedCommands;
        return 77;
    }
};

RECT Box() { return RECT{0, 0, 200, 100}; }

}  // namespace

TEST(WindowImpl, MapEntriesChainsAndPassingOn) {
    CMapWindow window;
    ASSERT_NE(window.Create(nullptr, Box()), nullptr);

    // The window's own entry passes on, the chained base answers.
    EXPECT_EQ(window.SendMessage(WM_USER + 1), 11);
    EXPECT_EQ(window.calls, (std::vector<std::string>{"window", "base"}));
    // Only the alternate map of the base has this one.
    EXPECT_EQ(window.SendMessage(WM_USER + 2), 12);
    EXPECT_EQ(window.SendMessage(WM_COMMAND, MAKEWPARAM(40, 3), 0), MAKELONG(40, 3));
    NMHDR header = {window, 41, 7};
    EXPECT_EQ(window.SendMessage(WM_NOTIFY, 41, reinterpret_cast<LPARAM>(&header)), 4107);
    header.code = 8;  // another code: nobody takes it, default processing answers 0
    EXPECT_EQ(window.SendMessage(WM_NOTIFY, 41, reinterpret_cast<LPARAM>(&header)), 0);
    window.DestroyWindow();
    EXPECT_EQ(window.finalMessages, 1);
    EXPECT_EQ(window.m_hWnd, nullptr);
}

TEST(WindowImpl, DestroyedInsideAHandlerGetsItsFinalMessageAfterwards) {
    CMapWindow window;
    ASSERT_NE(window.Create(nullptr, Box()), nullptr);
    const HWND handle = window;
    EXPECT_EQ(::SendMessageW(handle, WM_USER + 5, 0, 0), 5);
    EXPECT_EQ(window.calls, (std::vector<std::string>{"destroyed, final pending"}));
    EXPECT_EQ(window.finalMessages, 1);
    EXPECT_FALSE(::IsWindow(handle));
    EXPECT_EQ(window.m_hWnd, nullptr);
    // The object can make a window again.
    ASSERT_NE(window.Create(nullptr, Box()), nullptr);
    window.DestroyWindow();
    EXPECT_EQ(window.finalMessages, 2);
}

namespace {

// A window object that deletes itself with its last message, living in a
// buffer the test watches: after the object is gone the buffer is filled
// with a mark, so a write into the freed object shows as a changed byte.
constexpr unsigned char kFreedMark = 0xDD;

class CSelfDeletingWindow
    : public ATL::CWindowImpl<CSelfDeletingWindow, ATL::CWindow, ATL::CWinTraits<WS_POPUP, 0>> {
public:
    DECLARE_WND_CLASS(L"BrelioTest.SelfDeletingWindow")
    BEGIN_MSG_MAP(CSelfDeletingWindow)
    END_MSG_MAP()

    void OnFinalMessage(HWND) override {
        unsigned char* storage = reinterpret_cast<unsigned char*>(this);
        this->~CSelfDeletingWindow();
        std::fill(storage, storage + sizeof(CSelfDeletingWindow), kFreedMark);
    }
};

}  // namespace

TEST(WindowImpl, AnObjectThatDeletesItselfIsNotWrittenAfterItsDestruction) {
    alignas(CSelfDeletingWindow) unsigned char storage[sizeof(CSelfDeletingWindow)];
    auto* window = new (storage) CSelfDeletingWindow;
    ASSERT_NE(window->Create(nullptr, Box()), nullptr);
    const HWND handle = *window;
    EXPECT_TRUE(window->DestroyWindow());
    EXPECT_FALSE(::IsWindow(handle));
    EXPECT_TRUE(std::all_of(std::begin(storage), std::end(storage), [](unsigned char b) { return b == kFreedMark; }))
        << "the destroyed object was written after its final message";
}

TEST(WindowImpl, ChildNotificationsAreReflectedToTheChild) {
    CMapWindow parent;
    ASSERT_NE(parent.Create(nullptr, Box()), nullptr);
    CReflectedChild child;
    ASSERT_NE(child.Create(parent, RECT{0, 0, 50, 20}, L"x", WS_CHILD | WS_VISIBLE, 0, 42), nullptr);
    // A click makes the button send WM_COMMAND to its parent, which sends
    // it back as OCM_COMMAND.
    EXPECT_EQ(parent.SendMessage(WM_COMMAND, MAKEWPARAM(42, BN_CLICKED), reinterpret_cast<LPARAM>(child.m_hWnd)), 77);
    EXPECT_EQ(child.reflectedCommands, 1);
    child.SendMessage(BM_CLICK);
    EXPECT_EQ(child.reflectedCommands, 2);
    parent.DestroyWindow();
    EXPECT_EQ(child.m_hWnd, nullptr) << "children go with their parent";
}

namespace {

// Sits between a control and its owner and forwards notifications up.
class CForwarder : public ATL::CWindowImpl<CForwarder> {
public:
    BEGIN_MSG_MAP(CForwarder)
        FORWARD_NOTIFICATIONS()
    END_MSG_MAP()
};

class CForwardTarget : public ATL::CWindowImpl<CForwardTarget, ATL::CWindow, ATL::CWinTraits<WS_POPUP, 0>> {
public:
    UINT forwardedMessage = 0;
    HWND forwardedFrom = nullptr;
    BEGIN_MSG_MAP(CForwardTarget)
        MESSAGE_HANDLER(WM_FORWARDMSG, OnForward)
    END_MSG_MAP()

private:
    LRESULT OnForward(UINT, WPARAM, LPARAM lParam, BOOL&) {
        const MSG* msg = reinterpret_cast<const MSG*>(lParam);
        forwardedMessage = msg->message;
        forwardedFrom = msg->hwnd;
        return 1;
    }
};

class CSubclassed : public ATL::CWindowImpl<CSubclassed> {
public:
    int texts = 0;
    BEGIN_MSG_MAP(CSubclassed)
        MESSAGE_HANDLER(WM_SETTEXT, OnSetText)
    END_MSG_MAP()

private:
    LRESULT OnSetText(UINT, WPARAM, LPARAM, BOOL& handled) {
        ++texts;
        handled = FALSE;  // the control still takes the text
        return 0;
    }
};

}  // namespace

TEST(WindowImpl, NotificationsForwardedToTheParentAsForwardMessage) {
    CForwardTarget owner;
    ASSERT_NE(owner.Create(nullptr, Box()), nullptr);
    CForwarder middle;
    ASSERT_NE(middle.Create(owner, RECT{0, 0, 100, 50}), nullptr);
    NMHDR header = {middle, 3, NM_CLICK};
    EXPECT_EQ(middle.SendMessage(WM_NOTIFY, 3, reinterpret_cast<LPARAM>(&header)), 1);
    EXPECT_EQ(owner.forwardedMessage, static_cast<UINT>(WM_NOTIFY));
    EXPECT_EQ(owner.forwardedFrom, middle.m_hWnd);
    owner.DestroyWindow();
}

TEST(WindowImpl, AnExistingWindowCanBeTakenOverAndGivenBack) {
    ATL::CWindow edit;
    ASSERT_NE(edit.Create(L"EDIT", nullptr, Box(), L"", WS_POPUP), nullptr);
    CSubclassed hook;
    ASSERT_TRUE(hook.SubclassWindow(edit));
    CSubclassed second;
    EXPECT_FALSE(second.SubclassWindow(edit)) << "one object per window";
    edit.SetWindowText(L"abc");
    EXPECT_EQ(hook.texts, 1);
    EXPECT_EQ(edit.GetWindowText(), L"abc");
    EXPECT_EQ(hook.UnsubclassWindow(), edit.m_hWnd);
    edit.SetWindowText(L"def");
    EXPECT_EQ(hook.texts, 1);
    EXPECT_EQ(edit.GetWindowText(), L"def");
    edit.DestroyWindow();
}

TEST(WindowImpl, TwoWindowClassesCannotShareOneName) {
    class CFirst : public ATL::CWindowImpl<CFirst, ATL::CWindow, ATL::CWinTraits<WS_POPUP, 0>> {
    public:
        DECLARE_WND_CLASS(L"BrelioTest.SameName")
        BEGIN_MSG_MAP(CFirst)
        END_MSG_MAP()
    };
    class CSecond : public ATL::CWindowImpl<CSecond, ATL::CWindow, ATL::CWinTraits<WS_POPUP, 0>> {
    public:
        DECLARE_WND_CLASS(L"BrelioTest.SameName")
        BEGIN_MSG_MAP(CSecond)
        END_MSG_MAP()
    };
    CFirst first;
    ASSERT_NE(first.Create(nullptr, Box()), nullptr);
    CSecond second;
    EXPECT_EQ(second.Create(nullptr, Box()), nullptr);
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS));
    first.DestroyWindow();
}
