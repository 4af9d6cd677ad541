#include <gtest/gtest.h>

#include <windows.h>

#include <memory>

#include "BrelioCore/JXEvent.h"
#include "BrelioCore/UniqueHandle.h"
#include "EngineTest.h"

using namespace brelio::test;

namespace {

using SyncThreadLife = EngineTest;

TEST_F(SyncThreadLife, DestroyingARunningThreadEndsItBeforeItsObjectGoes) {
    Seed({FileWithContent("/late.txt", "late")});
    Json::Value fault;
    fault["method"] = "GET";
    fault["path"] = "media=raw";
    fault["delayMs"] = 20000;  // only a cancel ends the download's wait
    AddFault(fault);
    CJXEvent partial(false, false, nullptr);
    CJXEvent full(false, false, nullptr);
    auto thread = std::make_unique<CFileSyncThread>();
    ASSERT_EQ(thread->Start(m_engine.GetEnvironment(), &partial, &full), S_OK);
    full.SetEvent();
    ASSERT_TRUE(WaitForFaultsTaken()) << "the download reached the stand-in";
    HANDLE copy = nullptr;
    ASSERT_TRUE(::DuplicateHandle(::GetCurrentProcess(), thread->GetThreadHandle(), ::GetCurrentProcess(), &copy,
                                  SYNCHRONIZE, FALSE, 0));
    const brelio::UniqueKernelHandle running(copy);

    thread.reset();
    EXPECT_EQ(::WaitForSingleObject(running.Get(), 0), WAIT_OBJECT_0);
    EXPECT_EQ(::GetFileAttributesW(Local(L"late.txt").c_str()), INVALID_FILE_ATTRIBUTES) << "the download was cut short";
    EXPECT_FALSE(HasRow(L"late.txt"));
}

}  // namespace
