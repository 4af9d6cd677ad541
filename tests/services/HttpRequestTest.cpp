// What a caller of the HTTP request chooses: who follows a redirect, and
// how long an answer may be. The REST senders keep the stack's own
// following.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <thread>

#include "BrelioCore/JXHttpRequest.h"
#include "BrelioCore/TextConvert.h"
#include "BrelioCore/UniqueHandle.h"
#include "BrelioServices/RestFrame.h"
#include "StandinTest.h"

using namespace brelio::test;

namespace {

class HttpRequest : public StandinTest {
protected:
    // One GET of the drive API as the account; the response's status.
    HRESULT Get(const std::wstring& path, CJXHttpRequest& request, CJXMemoryStream& body) {
        const std::wstring header = m_account.SessionHeader();
        request.AddHeaders(header.c_str());
        HRESULT result = request.Open(0);
        if (SUCCEEDED(result))
            result = request.GetResponse(CJXUri(DriveApiBase() + path), CJXHttpRequest::kRead, nullptr, 0, &body,
                                         0x80000200);
        request.Close(false);
        return result;
    }

    void RedirectDrivesTo(const std::string& location) {
        Json::Value fault;
        fault["path"] = "^/drives$";
        fault["redirect"] = location;
        AddFault(fault);
    }

    std::vector<std::string> RequestedPaths() {
        std::vector<std::string> paths;
        for (const Json::Value& entry : Requests()) paths.push_back(entry["path"].asString());
        return paths;
    }
};

TEST_F(HttpRequest, TheCallerChoosesWhoFollowsARedirect) {
    const std::string elsewhere = brelio::WideToUtf8(DriveApiBase()) + "/files?parentId=root";
    const struct {
        const char* what;
        CJXHttpRequest::Redirects redirects;
        DWORD status;
        std::string location;
        std::vector<std::string> requested;
    } cases[] = {
        {"the stack follows", CJXHttpRequest::Redirects::kFollow, 200, "", {"/drives", "/files"}},
        {"the caller follows", CJXHttpRequest::Redirects::kReturn, 302, elsewhere, {"/drives"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ClearLog();
        RedirectDrivesTo(elsewhere);
        CJXHttpRequest request;
        request.SetRedirects(c.redirects);
        CJXMemoryStream body;
        ASSERT_GE(Get(L"/drives", request, body), 0);
        EXPECT_EQ(request.GetStatusCode(), c.status);
        EXPECT_EQ(brelio::WideToUtf8(request.GetLocation()), c.location);
        EXPECT_EQ(RequestedPaths(), c.requested);
    }

    // The REST senders of the sync engine take the stack's following.
    ClearLog();
    RedirectDrivesTo(elsewhere);
    RequestStatus status;
    CJXMemoryStream body;
    EXPECT_EQ(HttpGet(status, CJXUri(std::wstring(DriveApiBase()) + L"/drives"), body), 0);
    EXPECT_EQ(status.statusCode, 200u);
    EXPECT_EQ(RequestedPaths(), (std::vector<std::string>{"/drives", "/files"}));
}

TEST_F(HttpRequest, AnAnswerLongerThanTheLimitIsRefused) {
    const uint64_t file = IdOf(Seed({FileItem("/ten.bin", 10)})[0]);
    const std::wstring raw = L"/files/" + std::to_wstring(file) + L"?media=raw";
    Json::Value unframed;
    unframed["path"] = "media=raw";
    unframed["unframed"] = true;
    const struct {
        const char* what;
        ULONGLONG limit;
        bool withoutLength;
        HRESULT result;
        size_t kept;  // bytes in the stream afterwards
    } cases[] = {
        {"no limit", ~0ULL, false, S_OK, 10},
        {"at the limit", 10, false, S_OK, 10},
        {"announced beyond the limit", 9, false, CJXHttpRequest::E_TOO_LARGE, 0},
        {"at the limit, unannounced", 10, true, S_OK, 10},
        {"beyond the limit, unannounced", 9, true, CJXHttpRequest::E_TOO_LARGE, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.withoutLength) AddFault(unframed);
        CJXHttpRequest request;
        request.SetResponseLimit(c.limit);
        CJXMemoryStream body;
        EXPECT_EQ(Get(raw, request, body), c.result);
        EXPECT_EQ(request.GetStatusCode(), 200u);
        // A refused answer is not kept, not even its first part.
        EXPECT_EQ(body.GetSize(), c.kept);
    }
}

TEST_F(HttpRequest, ACancelEndsARequestWhoseAnswerTrickles) {
    // 240 bytes, one every 500 ms: two minutes in all.
    const uint64_t file = IdOf(Seed({FileItem("/slow.bin", 240)})[0]);
    Json::Value trickle;
    trickle["path"] = "media=raw";
    trickle["trickleMs"] = 500;
    AddFault(trickle);
    // Set by the time the body is under way; the wait for it is bounded
    // far beyond that, far short of the trickle.
    brelio::UniqueKernelHandle timer(::CreateWaitableTimerW(nullptr, TRUE, nullptr));
    LARGE_INTEGER due = {};
    due.QuadPart = -30000000;  // 3 s
    ASSERT_TRUE(::SetWaitableTimer(timer.Get(), &due, 0, nullptr, nullptr, FALSE));
    brelio::UniqueKernelHandle done(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    HRESULT result = S_OK;
    std::thread request([&] {
        CJXHttpRequest::SetThreadCancelEvent(timer.Get());
        CJXHttpRequest get;
        CJXMemoryStream body;
        result = Get(L"/files/" + std::to_wstring(file) + L"?media=raw", get, body);
        CJXHttpRequest::SetThreadCancelEvent(nullptr);
        ::SetEvent(done.Get());
    });
    EXPECT_EQ(::WaitForSingleObject(done.Get(), 60000), WAIT_OBJECT_0);
    request.join();
    EXPECT_EQ(result, E_ABORT);
}

}  // namespace
