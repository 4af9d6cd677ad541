#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <string>

#include "BrelioCore/JXEvent.h"
#include "BrelioCore/JXHttpRequest.h"
#include "BrelioCore/JXThread.h"
#include "BrelioServices/DriveApi.h"
#include "BrelioServices/FileTransfer.h"
#include "EngineTest.h"
#include "Sha256.h"

using namespace brelio::test;

namespace {

// Longer than any stop waits: only a cancel ends the wait for the answer.
constexpr int kAnswerDelayMs = 20000;

class StoppableTransfer : public EngineTest {
protected:
    void TearDown() override {
        CJXHttpRequest::SetThreadCancelEvent(nullptr);
        EngineTest::TearDown();
    }
};

TEST_F(StoppableTransfer, ASetStopEventEndsStreamedTransfersAndChangesNothing) {
    constexpr uint64_t kSize = 3 << 20;  // above the in-memory upload limit
    const Json::Value remote = Seed({FileItem("/big.bin", kSize)})[0];
    WriteLocal(L"up.bin", std::string(kSize, 'x'));
    CJXEvent stop(true, true, nullptr);
    CJXHttpRequest::SetThreadCancelEvent(stop);
    uint64_t size = 0;
    FILETIME written = {};
    FileInfo uploaded;
    EXPECT_EQ(DownloadFile(IdOf(remote), Local(L"big.bin").c_str(), size, written), E_ABORT);
    EXPECT_EQ(::UploadFile(0, Local(L"up.bin").c_str(), 0, uploaded, size, written), E_ABORT);
    stop.ResetEvent();  // the checks below are requests of this thread too
    EXPECT_EQ(::GetFileAttributesW(Local(L"big.bin").c_str()), INVALID_FILE_ATTRIBUTES);
    const Json::Value tree = ControlGet("/tree?session=" + m_account.session);
    EXPECT_EQ(tree["items"].size(), 1u) << "nothing was uploaded";
    EXPECT_EQ(DownloadFile(IdOf(remote), Local(L"big.bin").c_str(), size, written), S_OK);
    EXPECT_EQ(Sha256HexOfFile(Local(L"big.bin")), ItemAt("/big.bin")["sha256"].asString());
}

// A call made on a thread of its own, whose cancel event is the stop.
struct CancellableCall {
    std::function<HRESULT()> call;
    HANDLE stop = nullptr;
    HRESULT result = E_UNEXPECTED;

    static DWORD WINAPI Run(void* param) {
        auto* self = static_cast<CancellableCall*>(param);
        CJXHttpRequest::SetThreadCancelEvent(self->stop);
        self->result = self->call();
        CJXHttpRequest::SetThreadCancelEvent(nullptr);
        return 0;
    }
};

// A request the stand-in holds back, and the call that makes it.
struct HeldRequest {
    const char* name;
    const char* method;
    const char* path;  // the fault's pattern
    std::function<HRESULT()> call;
};

TEST_F(StoppableTransfer, ASetStopEventEndsARequestWaitingForTheServer) {
    const Json::Value remote = Seed({FileWithContent("/late.txt", "late")})[0];
    WriteLocal(L"up.txt", "mine");
    const std::wstring target = Local(L"late.txt");
    const std::wstring upload = Local(L"up.txt");
    RequestStatus status;
    FileInfoList listing;
    uint64_t size = 0;
    FILETIME written = {};
    FileInfo uploaded;
    const HeldRequest cases[] = {
        {"listing", "GET", "^/files\\?parentId=", [&] { return GetFiles(status, 0, listing, false); }},
        {"download", "GET", "media=raw", [&] { return DownloadFile(IdOf(remote), target.c_str(), size, written); }},
        {"upload", "POST", "^/files\\?parentId=", [&] { return ::UploadFile(0, upload.c_str(), 0, uploaded, size, written); }},
    };
    for (const HeldRequest& held : cases) {
        SCOPED_TRACE(held.name);
        Json::Value fault;
        fault["method"] = held.method;
        fault["path"] = held.path;
        fault["delayMs"] = kAnswerDelayMs;
        AddFault(fault);
        CJXEvent stop(true, false, nullptr);
        CancellableCall call{held.call, stop};
        CJXThread worker;
        ASSERT_EQ(worker.Create(CancellableCall::Run, &call, 0), S_OK);
        ASSERT_TRUE(WaitForFaultsTaken()) << "the request reached the stand-in";
        stop.SetEvent();
        ASSERT_EQ(worker.Close(INFINITE), S_OK);
        EXPECT_EQ(call.result, E_ABORT);
        EXPECT_EQ(::GetFileAttributesW(target.c_str()), INVALID_FILE_ATTRIBUTES);
    }
}

TEST_F(StoppableTransfer, NothingGoesOutFromAStoppedThread) {
    CJXEvent stop(true, true, nullptr);
    CJXHttpRequest::SetThreadCancelEvent(nullptr, stop);
    RequestStatus status;
    DriveInfoList drives;
    EXPECT_EQ(GetDrives(status, drives), E_ABORT);
    CJXHttpRequest::SetThreadCancelEvent(nullptr);
    EXPECT_EQ(CountRequests("GET", "/drives"), 0u);
}

}  // namespace
