#include <windows.h>

#include <gtest/gtest.h>

#include "BrelioCore/UniqueHandle.h"
#include "TestWindows.h"
#include "WindowPixels.h"

using brelio::test::COwnerWindow;
using brelio::test::CScriptedModal;

namespace {

struct Seen {
    bool ownerEnabled = true;
    bool visible = false;
    RECT where = {};
    int onScreen = 0;  // client pixels showing the window's own background
    int clientPixels = 0;
};

Seen LookAt(CScriptedModal& modal, HWND owner) {
    Seen seen;
    seen.ownerEnabled = owner != nullptr && ::IsWindowEnabled(owner);
    seen.visible = modal.IsWindowVisible() != FALSE;
    modal.GetWindowRect(&seen.where);
    brelio::test::CWindowPixels pixels;
    if (pixels.Capture(modal)) {
        seen.clientPixels = pixels.Width() * pixels.Height();
        seen.onScreen = pixels.CountNear({0, 0, pixels.Width(), pixels.Height()}, ::GetSysColor(COLOR_WINDOW));
    }
    return seen;
}

}  // namespace

TEST(ModalWindow, DisablesItsOwnerWhileRunningAndReturnsTheResult) {
    COwnerWindow owner;
    ASSERT_NE(owner.Create(), nullptr);
    CScriptedModal modal;
    ASSERT_NE(modal.Create(owner), nullptr);
    Seen seen;
    modal.onStep = [&](CScriptedModal& self) {
        seen = LookAt(self, owner);
        brelio::test::SaveWindowShot(self, L"modal-window");
        self.Accept();
    };
    modal.PostMessage(CScriptedModal::kStep);

    EXPECT_EQ(modal.DoModal(owner, ::GetDesktopWindow(), SW_SHOW), CModalWndBase::kResultOk);
    EXPECT_FALSE(seen.ownerEnabled);
    EXPECT_TRUE(seen.visible);
    EXPECT_GT(seen.clientPixels, 0);
    EXPECT_EQ(seen.onScreen, seen.clientPixels) << "the window shows on screen while its loop runs";
    EXPECT_TRUE(::IsWindowEnabled(owner));
    EXPECT_EQ(modal.m_hWnd, nullptr) << "the window is destroyed when the loop ends";
}

TEST(ModalWindow, EveryWayOfClosingGivesCancel) {
    struct Case {
        const char* how;
        UINT message;
        WPARAM wParam;
    };
    const Case cases[] = {
        {"WM_CLOSE from elsewhere", WM_CLOSE, 0},
        {"close box or Alt+F4", WM_SYSCOMMAND, SC_CLOSE},
    };
    for (const Case& c : cases) {
        CScriptedModal modal;
        ASSERT_NE(modal.Create(nullptr), nullptr);
        modal.onStep = [&](CScriptedModal& self) { self.SendMessage(c.message, c.wParam, 0); };
        modal.PostMessage(CScriptedModal::kStep);
        EXPECT_EQ(modal.DoModal(nullptr, ::GetDesktopWindow(), SW_SHOW), CModalWndBase::kResultCancel) << c.how;
    }
}

TEST(ModalWindow, HiddenOneIsNeverShownOrMovedButDisablesItsOwner) {
    COwnerWindow owner;
    ASSERT_NE(owner.Create(), nullptr);
    CScriptedModal modal;
    ASSERT_NE(modal.Create(owner), nullptr);
    RECT before;
    modal.GetWindowRect(&before);
    Seen seen;
    modal.onStep = [&](CScriptedModal& self) {
        seen = LookAt(self, owner);
        self.Accept();
    };
    modal.PostMessage(CScriptedModal::kStep);

    EXPECT_EQ(modal.DoModal(owner, owner, SW_HIDE), CModalWndBase::kResultOk);
    EXPECT_FALSE(seen.visible);
    EXPECT_TRUE(::EqualRect(&before, &seen.where));
    EXPECT_FALSE(seen.ownerEnabled);
    EXPECT_TRUE(::IsWindowEnabled(owner));
}

TEST(ModalWindow, WithoutOwnerNoOtherWindowIsDisabled) {
    COwnerWindow bystander;
    ASSERT_NE(bystander.Create(), nullptr);
    CScriptedModal modal;
    ASSERT_NE(modal.Create(nullptr), nullptr);
    bool bystanderEnabled = false;
    modal.onStep = [&](CScriptedModal& self) {
        bystanderEnabled = ::IsWindowEnabled(bystander) != FALSE;
        self.Accept();
    };
    modal.PostMessage(CScriptedModal::kStep);
    EXPECT_EQ(modal.DoModal(nullptr, ::GetDesktopWindow(), SW_SHOW), CModalWndBase::kResultOk);
    EXPECT_TRUE(bystanderEnabled);
}

TEST(ModalWindow, NestedModalWindowDisablesTheOuterOneUntilItEnds) {
    COwnerWindow owner;
    ASSERT_NE(owner.Create(), nullptr);
    CScriptedModal outer;
    ASSERT_NE(outer.Create(owner), nullptr);
    INT_PTR innerResult = 0;
    bool outerEnabledDuringInner = true;
    bool outerEnabledAfterInner = false;
    bool ownerEnabledAfterInner = true;
    outer.onStep = [&](CScriptedModal& self) {
        CScriptedModal inner;
        ASSERT_NE(inner.Create(self), nullptr);
        inner.onStep = [&](CScriptedModal& nested) {
            outerEnabledDuringInner = self.IsWindowEnabled() != FALSE;
            nested.Accept();
        };
        inner.PostMessage(CScriptedModal::kStep);
        innerResult = inner.DoModal(self, self, SW_SHOW);
        outerEnabledAfterInner = self.IsWindowEnabled() != FALSE;
        ownerEnabledAfterInner = ::IsWindowEnabled(owner) != FALSE;
        self.SendMessage(WM_CLOSE);
    };
    outer.PostMessage(CScriptedModal::kStep);

    EXPECT_EQ(outer.DoModal(owner, ::GetDesktopWindow(), SW_SHOW), CModalWndBase::kResultCancel);
    EXPECT_EQ(innerResult, CModalWndBase::kResultOk);
    EXPECT_FALSE(outerEnabledDuringInner);
    EXPECT_TRUE(outerEnabledAfterInner);
    EXPECT_FALSE(ownerEnabledAfterInner) << "the outer window still runs";
    EXPECT_TRUE(::IsWindowEnabled(owner));
}

TEST(ModalWindow, QuitMessageEndsTheLoopWithTheResultUnchangedAndReachesTheMainLoop) {
    struct Case {
        const char* what;
        INT_PTR setByHandler;  // 0: the handler sets nothing
        INT_PTR expected;
    };
    const Case cases[] = {
        {"nothing set", 0, CModalWndBase::kResultCancel},
        {"a handler set 1 but kept running", CModalWndBase::kResultOk, CModalWndBase::kResultOk},
    };
    for (const Case& c : cases) {
        COwnerWindow owner;
        ASSERT_NE(owner.Create(), nullptr);
        CScriptedModal modal;
        ASSERT_NE(modal.Create(owner), nullptr);
        modal.onStep = [&](CScriptedModal& self) {
            if (c.setByHandler != 0) self.SetResultOnly(c.setByHandler);
            ::PostQuitMessage(7);
        };
        modal.PostMessage(CScriptedModal::kStep);

        EXPECT_EQ(modal.DoModal(owner, ::GetDesktopWindow(), SW_SHOW), c.expected) << c.what;
        EXPECT_TRUE(::IsWindowEnabled(owner)) << c.what;
        MSG msg = {};
        ASSERT_TRUE(::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) << c.what;
        EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT)) << c.what;
        EXPECT_EQ(msg.wParam, 7u) << c.what;
    }
}

namespace {

ULONGLONG ThreadCpuTime100ns() {
    FILETIME created, exited, kernel, user;
    ::GetThreadTimes(::GetCurrentThread(), &created, &exited, &kernel, &user);
    const auto add = [](const FILETIME& t) { return (ULONGLONG{t.dwHighDateTime} << 32) | t.dwLowDateTime; };
    return add(kernel) + add(user);
}

DWORD WINAPI CloseLater(void* window) {
    ::Sleep(600);
    ::PostMessageW(static_cast<HWND>(window), WM_CLOSE, 0, 0);
    return 0;
}

}  // namespace

// Not a speed test: a loop that polled instead of waiting would burn the
// whole wait on this thread; one that waits uses next to nothing of it.
TEST(ModalWindow, IdleLoopWaitsInsteadOfPolling) {
    CScriptedModal modal;
    ASSERT_NE(modal.Create(nullptr), nullptr);
    brelio::UniqueKernelHandle closer(::CreateThread(nullptr, 0, CloseLater, modal.m_hWnd, 0, nullptr));
    ASSERT_TRUE(closer);
    const ULONGLONG before = ThreadCpuTime100ns();
    EXPECT_EQ(modal.DoModal(nullptr, ::GetDesktopWindow(), SW_HIDE), CModalWndBase::kResultCancel);
    const ULONGLONG used = ThreadCpuTime100ns() - before;
    ::WaitForSingleObject(closer.Get(), INFINITE);
    EXPECT_LT(used, 1000000u) << "processor time in 100 ns units over a 600 ms idle wait";
}
