#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "BrelioCore/JXEvent.h"
#include "BrelioCore/JXHttpRequest.h"
#include "BrelioServices/FileTransfer.h"
#include "EngineTest.h"
#include "Sha256.h"

using namespace brelio::test;

namespace {

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

}  // namespace
