#include <gtest/gtest.h>

#include <windows.h>

#include "BrelioCore/JXEvent.h"
#include "BrelioCore/JXThread.h"
#include "BrelioCore/UniqueHandle.h"

namespace {

DWORD WINAPI WaitForEvent(void* param) {
    static_cast<CJXEvent*>(param)->Wait(INFINITE);
    return 7;
}

TEST(JXEvent, WaitGivesZeroWhenSetAndTimeoutWhenNot) {
    CJXEvent event(true, true, nullptr);
    EXPECT_EQ(event.Wait(0), 0u);
    EXPECT_EQ(event.Wait(0), 0u) << "a manual-reset event stays set";
    ASSERT_TRUE(event.ResetEvent());
    EXPECT_EQ(event.Wait(0), 258u);
    ASSERT_TRUE(event.SetEvent());
    EXPECT_EQ(::WaitForSingleObject(event, 0), WAIT_OBJECT_0) << "usable as a plain handle";
}

TEST(JXEvent, AutoResetEventIsConsumedByOneWait) {
    CJXEvent event(false, true, nullptr);
    EXPECT_EQ(event.Wait(0), 0u);
    EXPECT_EQ(event.Wait(0), 258u);
}

TEST(JXThread, CloseKeepsTheHandleOfAThreadStillRunning) {
    CJXEvent release(true, false, nullptr);
    CJXThread thread;
    EXPECT_EQ(thread.GetThreadHandle(), nullptr);
    ASSERT_EQ(thread.Create(WaitForEvent, &release, 0), S_OK);
    EXPECT_NE(thread.GetThreadHandle(), nullptr);
    EXPECT_EQ(thread.Close(20), HRESULT_FROM_WIN32(WAIT_TIMEOUT));
    EXPECT_NE(thread.GetThreadHandle(), nullptr) << "the live thread's handle is kept";
    EXPECT_EQ(thread.Create(WaitForEvent, &release, 0), HRESULT_FROM_WIN32(ERROR_BUSY))
        << "no second thread on an object whose thread still runs";
    release.SetEvent();
    EXPECT_EQ(thread.Close(5000), S_OK);
    EXPECT_EQ(thread.GetThreadHandle(), nullptr);
    EXPECT_EQ(thread.Create(WaitForEvent, &release, 0), S_OK) << "the object can run again once its thread ended";
    EXPECT_EQ(thread.Close(5000), S_OK);
}

TEST(JXThread, DestructorWaitsForItsThread) {
    CJXEvent release(true, false, nullptr);
    brelio::UniqueKernelHandle copy;
    {
        auto* thread = new CJXThread();
        ASSERT_EQ(thread->Create(WaitForEvent, &release, 0), S_OK);
        ASSERT_TRUE(::DuplicateHandle(::GetCurrentProcess(), thread->GetThreadHandle(), ::GetCurrentProcess(),
                                      copy.Put(), 0, FALSE, DUPLICATE_SAME_ACCESS));
        // Let the thread go a little later, from another thread, so that the
        // destructor below has to wait for it.
        CJXThread releaser;
        ASSERT_EQ(releaser.Create(
                      [](void* param) -> DWORD {
                          ::Sleep(100);
                          static_cast<CJXEvent*>(param)->SetEvent();
                          return 0;
                      },
                      &release, 0),
                  S_OK);
        delete thread;
        EXPECT_EQ(::WaitForSingleObject(copy.Get(), 0), WAIT_OBJECT_0) << "the thread had ended when its object went";
    }
    DWORD code = 0;
    ::GetExitCodeThread(copy.Get(), &code);
    EXPECT_EQ(code, 7u);
}

}  // namespace
