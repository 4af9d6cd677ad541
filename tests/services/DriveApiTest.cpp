#include <gtest/gtest.h>

#include <winsock2.h>
#include <windows.h>
#include <winhttp.h>

#include <functional>

#include "BrelioCore/JXHttpRequest.h"
#include "BrelioCore/TextConvert.h"
#include "BrelioServices/DriveApi.h"
#include "StandinTest.h"

using namespace brelio::test;

namespace {

class DriveApi : public StandinTest {
protected:
    void SetUp() override {
        StandinTest::SetUp();
        const Json::Value seeded = Seed({FolderItem("/docs"), FileItem("/docs/a.txt", 10)});
        for (const Json::Value& item : seeded) {
            if (item["path"] == "/docs") m_docs = IdOf(item);
            if (item["path"] == "/docs/a.txt") m_file = IdOf(item);
        }
        ASSERT_NE(m_docs, 0u);
        ASSERT_NE(m_file, 0u);
        ClearLog();
    }

    // The one request the last operation sent.
    Json::Value LastRequest() {
        const Json::Value requests = Requests();
        EXPECT_EQ(requests.size(), 1u);
        ClearLog();
        return requests.size() ? requests[requests.size() - 1] : Json::Value();
    }

    uint64_t m_docs = 0;
    uint64_t m_file = 0;
};

std::string Decimal(uint64_t id) { return std::to_string(id); }

}  // namespace

// Each operation sends the method, path, query and body the service expects,
// with the session and user-agent headers.
TEST_F(DriveApi, EveryOperationSendsItsRequest) {
    RequestStatus status;
    DriveInfoList drives;
    FileInfoList files;
    ChangeInfo change;
    ChangeInfoList changes;
    FileInfo created;
    const std::string docs = Decimal(m_docs);
    const std::string file = Decimal(m_file);

    struct Case {
        const char* what;
        std::function<ApiErrorCode()> call;
        const char* method;
        std::string path;
        std::string query;
        std::string body;  // empty: no body
        const char* contentType;
    } cases[] = {
        {"drives", [&] { return GetDrives(status, drives); }, "GET", "/drives", "", "", nullptr},
        {"root listing", [&] { return GetFiles(status, 0, files, false); }, "GET", "/files", "parentId=root", "", nullptr},
        {"root folders", [&] { return GetFiles(status, 0, files, true); }, "GET", "/files", "parentId=root&type=folder", "", nullptr},
        {"folder listing", [&] { return GetFiles(status, m_docs, files, false); }, "GET", "/files", "parentId=" + docs, "", nullptr},
        {"metadata", [&] { return GetFileMeta(status, m_file, change); }, "GET", "/files/" + file, "media=meta", "", nullptr},
        {"changes page", [&] { return GetChangesPage(status, 5, 7, 10, changes); }, "GET", "/changes",
         "latestRevision=5&fileId=7&size=10", "", nullptr},
        {"folder at the root", [&] { return CreateFolder(status, 0, L"new", created); }, "POST",
         "/files/root/create-folder", "", "{ \"name\": \"new\" }", "application/json"},
        {"folder in a folder", [&] { return CreateFolder(status, m_docs, L"q\"uote\\d", created); }, "POST",
         "/files/" + docs + "/create-folder", "", "{ \"name\": \"q\\\"uote\\\\d\" }", "application/json"},
        {"rename", [&] { return RenameFile(status, m_file, L"b\u00e9.txt", created); }, "PUT", "/files/" + file, "",
         "{ \"name\": \"b\xc3\xa9.txt\" }", "application/json"},
        {"trash", [&] { return TrashFile(status, m_file); }, "POST", "/files/" + file + "/trash", "", "", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.call(), 0);
        const Json::Value request = LastRequest();
        EXPECT_EQ(request["method"].asString(), c.method);
        EXPECT_EQ(request["host"].asString(), "drive-api.localhost");
        EXPECT_EQ(request["path"].asString(), c.path);
        EXPECT_EQ(request["query"].asString(), c.query);
        EXPECT_EQ(request["bodyLength"].asUInt64(), c.body.size());
        if (!c.body.empty()) {
            EXPECT_EQ(request["body"].asString(), c.body);
        }
        const Json::Value& headers = request["headers"];
        EXPECT_EQ(headers["SESSION"].asString(), m_account.session);
        EXPECT_EQ(headers["Brelio-Tenant-Domain"].asString(), m_account.tenantDomain);
        EXPECT_EQ(headers["User-Agent"].asString(), "BrelioDrive/1.0.0.1 (Windows NT 10.0)");
        if (c.contentType) {
            EXPECT_EQ(headers["Content-Type"].asString(), c.contentType);
        }
    }
    // The names went through as the user wrote them.
    EXPECT_EQ(ItemAt("/docs/q%22uote%5Cd")["name"].asString(), "q\"uote\\d");
}

TEST_F(DriveApi, AnswersBecomeRecords) {
    RequestStatus status;
    DriveInfoList drives;
    ASSERT_EQ(GetDrives(status, drives), 0);
    ASSERT_EQ(drives.size(), 1u);
    EXPECT_TRUE(IsPrivateDrive(drives[0].type.c_str()));
    EXPECT_EQ(std::to_string(drives[0].id), m_account.driveId);

    FileInfoList files;
    ASSERT_EQ(GetFiles(status, m_docs, files, false), 0);
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].id, m_file);
    EXPECT_EQ(files[0].path, L"/docs/a.txt");
    EXPECT_TRUE(IsFileType(files[0].type.c_str()));
    EXPECT_EQ(files[0].hash.size(), 64u);

    FileInfo folder;
    ASSERT_EQ(CreateFolder(status, 0, L"\u3042 new", folder), 0);
    EXPECT_EQ(folder.name, L"\u3042 new");
    EXPECT_EQ(folder.path, L"/\u3042 new");

    // A name taken already, in other letter case, is the service's own code.
    FileInfo again;
    EXPECT_EQ(CreateFolder(status, 0, L"DOCS", again), API_E_NAME_EXISTS);

    ASSERT_EQ(TrashFile(status, m_file), 0);
    ChangeInfo change;
    ASSERT_EQ(GetFileMeta(status, m_file, change), 0);
    EXPECT_EQ(change.changeType, "deleted");
    EXPECT_EQ(change.file.id, m_file);
}

TEST_F(DriveApi, MemberApiUsesTheTenantHost) {
    const StandinAccount other = CreateAccount("tq" + std::to_string(GetCurrentProcessId()));
    const std::wstring tenant = brelio::Utf8ToWide(other.tenant);
    RequestStatus status;
    TenantInfo info;
    ASSERT_EQ(GetTenant(status, tenant.c_str(), info), 0);
    EXPECT_FALSE(info.tenantId.empty());

    Json::Value request = LastRequest();
    EXPECT_EQ(request["host"].asString(), "localhost");
    EXPECT_EQ(request["path"].asString(), "/v2/mapi/tenants/" + other.tenant + ".localhost");

    TenantInfo unknown;
    ASSERT_EQ(GetTenant(status, L"nosuchtenant", unknown), 0);
    EXPECT_TRUE(unknown.tenantId.empty());
    ClearLog();

    MemberInfo member;
    ASSERT_EQ(GetMember(status, L"acme", member), 0);
    EXPECT_EQ(member.userCode, "user@acme");
    request = LastRequest();
    EXPECT_EQ(request["host"].asString(), "acme.localhost");
    EXPECT_EQ(request["path"].asString(), "/v2/mapi/members/me");
}

TEST_F(DriveApi, TenantThatIsNoHostNameIsRefusedBeforeSending) {
    RequestStatus status;
    TenantInfo info;
    MemberInfo member;
    for (const wchar_t* bad : {L"evil.example/x", L"a b", L"", L"x\r\nSESSION: y", L"..", L"a:1"}) {
        EXPECT_EQ(GetTenant(status, bad, info), E_INVALIDARG) << bad;
        EXPECT_EQ(GetMember(status, bad, member), E_INVALIDARG) << bad;
    }
    EXPECT_EQ(Requests().size(), 0u);
}

TEST_F(DriveApi, CandidateSessionIsTestedWithoutReplacingTheCurrentOne) {
    const std::wstring current = GetAuthHeader();
    SetAuthHeader(L"");
    EXPECT_EQ(CheckDrives(m_account.SessionHeader().c_str()), 0);
    EXPECT_EQ(CheckDrives(L"SESSION: nope\r\nBrelio-Tenant-Domain: acme.localhost"),
              static_cast<HRESULT>(0xA0000011));
    EXPECT_TRUE(GetAuthHeader().empty());
    SetAuthHeader(current.c_str());
}

// Every way an answer can go wrong maps to one code, and statusCode tells
// what arrived.
TEST_F(DriveApi, ResultMapping) {
    const char kOkEnvelope[] = "{\"header\":{\"isSuccessful\":true,\"resultCode\":0},\"result\":{\"contents\":[]}}";
    struct Case {
        const char* what;
        Json::Value fault;  // null: none
        HRESULT expected;
        DWORD statusCode;
    };
    auto status = [](int code, const std::string& body) {
        Json::Value f;
        f["status"] = code;
        f["body"] = body;
        return f;
    };
    auto envelope = [](int code, int http) {
        Json::Value f;
        f["envelope"]["resultCode"] = code;
        f["envelope"]["httpStatus"] = http;
        return f;
    };
    Json::Value close;
    close["close"] = true;
    Json::Value cut;
    cut["truncate"] = 20;
    std::vector<Case> cases = {
        {"ok", Json::Value(), 0, 200},
        {"not JSON", status(200, "<html/>"), API_E_BAD_RESPONSE, 200},
        {"id as a number", status(200,
            "{\"header\":{\"isSuccessful\":true,\"resultCode\":0},\"result\":{\"contents\":[{\"id\":7,"
            "\"tenantId\":\"t\",\"type\":\"private\",\"latestRevision\":\"1\"}]}}"), API_E_BAD_RESPONSE, 200},
        {"unknown code", envelope(-1, 200), API_E_BAD_RESPONSE, 200},
        {"401 session", envelope(-15400201, 401), static_cast<HRESULT>(0xA0000011), 401},
        {"403 not JSON", status(403, "denied"), API_E_BAD_RESPONSE, 403},
        {"401 claiming success", status(401, kOkEnvelope), API_E_HTTP_STATUS, 401},
        {"403 claiming success", status(403, kOkEnvelope), API_E_HTTP_STATUS, 403},
        {"500", status(500, kOkEnvelope), API_E_HTTP_STATUS, 500},
        {"closed connection", close, HRESULT_FROM_WIN32(12030), 200},
        {"answer cut short", cut, CJXHttpRequest::E_TRUNCATED, 200},
    };
    const int serverCodes[] = {-15100000, -15100200, -15100201, -15100202, -15200200, -15300000,
                               -15300100, -15300200, -15300700, -15400000, -15400100, -15400200,
                               -15400201, -15400202, -15700000, -15700100};
    for (size_t i = 0; i < 16; ++i)
        cases.push_back({"unsuccessful envelope", envelope(serverCodes[i], 200),
                         static_cast<HRESULT>(0xA0000005 + i), 200});

    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.what) + " " + std::to_string(c.fault["envelope"]["resultCode"].asInt()));
        if (!c.fault.isNull()) {
            Json::Value fault = c.fault;
            fault["path"] = "^/drives$";
            AddFault(fault);
        }
        RequestStatus requestStatus;
        DriveInfoList drives;
        const HRESULT result = GetDrives(requestStatus, drives);
        if (c.expected == HRESULT_FROM_WIN32(12030)) {
            // A transport failure: some negative code of the HTTP stack.
            EXPECT_LT(result, 0);
            EXPECT_NE(static_cast<uint32_t>(result) & 0xFFFF0000u, 0xA0000000u);
        } else {
            EXPECT_EQ(result, c.expected);
        }
        EXPECT_EQ(requestStatus.statusCode, c.statusCode);
    }
}

TEST_F(DriveApi, ClosedPortIsATransportFailure) {
    RequestStatus status;
    CJXMemoryStream body;
    const HRESULT result = HttpGet(status, CJXUri(L"http://127.0.0.1:9/drives"), body);
    EXPECT_LT(result, 0);
    EXPECT_NE(result, API_E_HTTP_STATUS);
    EXPECT_EQ(status.statusCode, 200u);

    // A record that held a refusal before still reports the transport
    // failure, not a parse of nothing.
    status.statusCode = 401;
    EXPECT_EQ(HttpGet(status, CJXUri(L"http://127.0.0.1:9/drives"), body), result);
    DriveInfoList drives;
    EXPECT_EQ(ApplyResponse(result, status, body, [&](CJsonResponse& r) { return r.ParseDrives(drives); }), result);
}

TEST_F(DriveApi, ReceiveTimeoutBoundsTheWaitForAnAnswer) {
    Json::Value fault;
    fault["path"] = "create-folder";
    fault["delayMs"] = 3000;
    AddFault(fault);
    RequestStatus status;
    status.receiveTimeout = 300;
    FileInfo folder;
    // Windows reports its own time-out code; Wine the socket's.
    const HRESULT result = CreateFolder(status, 0, L"slow", folder);
    EXPECT_TRUE(result == HRESULT_FROM_WIN32(ERROR_WINHTTP_TIMEOUT) || result == HRESULT_FROM_WIN32(WSAETIMEDOUT))
        << std::hex << result;
}

TEST_F(DriveApi, RequestsShareOneConnection) {
    RequestStatus status;
    DriveInfoList drives;
    for (int i = 0; i < 3; ++i) ASSERT_EQ(GetDrives(status, drives), 0);
    const Json::Value requests = Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0]["peerPort"], requests[1]["peerPort"]);
    EXPECT_EQ(requests[1]["peerPort"], requests[2]["peerPort"]);
}
