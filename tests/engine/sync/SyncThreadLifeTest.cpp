#include <gtest/gtest.h>

#include <windows.h>

#include <iostream>
#include <memory>
#include <string>

#include "BrelioCore/JXEvent.h"
#include "BrelioCore/UniqueHandle.h"
#include "EngineTest.h"

using namespace brelio::test;

namespace {

using SyncThreadLife = EngineTest;

// The thread is destroyed while the stand-in holds back the answer to its
// upload: the destructor ends the run, and the answer is never taken for
// an upload done.
TEST_F(SyncThreadLife, DestroyingARunningThreadEndsItBeforeItsObjectGoes) {
    WriteLocal(L"mine.txt", "mine");
    Json::Value fault;
    fault["method"] = "POST";
    fault["path"] = "^/files\\?parentId=";
    fault["delayMs"] = 20000;  // only a cancel ends the wait for the answer
    AddFault(fault);
    CJXEvent partial(false, false, nullptr);
    CJXEvent full(false, false, nullptr);
    auto thread = std::make_unique<CFileSyncThread>();
    ASSERT_EQ(thread->Start(m_engine.GetEnvironment(), &partial, &full), S_OK);
    full.SetEvent();
    ASSERT_TRUE(WaitForFaultsTaken()) << "the upload reached the stand-in";
    HANDLE copy = nullptr;
    ASSERT_TRUE(::DuplicateHandle(::GetCurrentProcess(), thread->GetThreadHandle(), ::GetCurrentProcess(), &copy,
                                  SYNCHRONIZE, FALSE, 0));
    const brelio::UniqueKernelHandle running(copy);

    thread.reset();
    EXPECT_EQ(::WaitForSingleObject(running.Get(), 0), WAIT_OBJECT_0);
    const std::string log = LogText();
    EXPECT_NE(log.find("mine.txt - failed to upload(0x80004004)."), std::string::npos) << "the upload was cut short";
    // The pass's tail still reads the storage: at the path the thread was
    // given, which it keeps until it has ended.
    EXPECT_EQ(log.find("Exception"), std::string::npos);
    EXPECT_FALSE(HasRow(L"mine.txt")) << "nothing is recorded for the upload cut short";
    EXPECT_EQ(ReadFileBytes(Local(L"mine.txt")), "mine");
    if (HasFailure()) std::cout << "The engine's log:\n" << log;
}

}  // namespace
