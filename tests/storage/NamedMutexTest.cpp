#include <gtest/gtest.h>
#include <windows.h>

#include <thread>

#include "BrelioServices/NamedMutex.h"
#include "ChildProcess.h"

namespace brelio::test {
namespace {

DWORD LockFromOtherThread(CNamedMutex& mutex, DWORD milliseconds) {
    DWORD result = WAIT_FAILED;
    std::thread([&] {
        result = mutex.Lock(milliseconds);
        if (result == WAIT_OBJECT_0 || result == WAIT_ABANDONED) mutex.Unlock();
    }).join();
    return result;
}

TEST(NamedMutex, SecondCreateOpensTheSameMutex) {
    const std::wstring name = UniqueName(L"BrelioMutexTest");
    CNamedMutex first;
    CNamedMutex second;
    ASSERT_EQ(first.Create(name.c_str()), S_OK);
    ASSERT_EQ(second.Create(name.c_str()), S_OK);
    EXPECT_NE(second.Handle(), nullptr);

    ASSERT_EQ(first.Lock(), WAIT_OBJECT_0);
    EXPECT_EQ(LockFromOtherThread(second, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_TRUE(first.Unlock());
    EXPECT_EQ(LockFromOtherThread(second, 0), WAIT_OBJECT_0);
}

TEST(NamedMutex, HeldByAnotherProcessTimesOutAtOnce) {
    const std::wstring name = UniqueName(L"BrelioMutexTest");
    CNamedEvent ready;
    CNamedEvent release;
    CChildProcess holder;
    ASSERT_TRUE(holder.Start({L"hold-mutex", name, ready.Name(), release.Name()}));
    ASSERT_TRUE(ready.Wait());

    CNamedMutex mutex;
    ASSERT_EQ(mutex.Create(name.c_str()), S_OK);
    EXPECT_EQ(mutex.Lock(0), static_cast<DWORD>(WAIT_TIMEOUT));
    release.Set();
    ASSERT_EQ(holder.Wait(), 0);
    EXPECT_EQ(mutex.Lock(0), WAIT_OBJECT_0);
    EXPECT_TRUE(mutex.Unlock());
}

TEST(NamedMutex, FailedCreateHoldsNothingAndLockFailsAtOnce) {
    // The name already belongs to an event, so no mutex can have it.
    const std::wstring name = UniqueName(L"BrelioMutexTest");
    UniqueKernelHandle event(::CreateEventW(nullptr, TRUE, FALSE, name.c_str()));
    ASSERT_TRUE(event);

    CNamedMutex mutex;
    EXPECT_TRUE(FAILED(mutex.Create(name.c_str())));
    EXPECT_EQ(mutex.Handle(), nullptr);
    EXPECT_EQ(mutex.Lock(), WAIT_FAILED);
    EXPECT_FALSE(mutex.Unlock());
}

TEST(NamedMutex, ScopedLockTakesAnAbandonedMutex) {
    const std::wstring name = UniqueName(L"BrelioMutexTest");
    CNamedMutex mutex;
    ASSERT_EQ(mutex.Create(name.c_str()), S_OK);
    std::thread([&] { mutex.Lock(); }).join();  // ends while holding it

    {
        CNamedMutexLock lock(&mutex);
        EXPECT_TRUE(lock.IsHeld());
        EXPECT_EQ(lock.WaitResult(), static_cast<DWORD>(WAIT_ABANDONED));
    }
    EXPECT_EQ(LockFromOtherThread(mutex, 0), WAIT_OBJECT_0);
}

}  // namespace
}  // namespace brelio::test
