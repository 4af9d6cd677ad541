#include "StandinControl.h"

#include <gtest/gtest.h>

#include <memory>

#include "BrelioCore/JXHttpRequest.h"
#include "BrelioCore/TextConvert.h"

#define BRELIO_STRINGIZE2(x) #x
#define BRELIO_STRINGIZE(x) BRELIO_STRINGIZE2(x)

namespace brelio::test {
namespace {

Json::Value Call(int method, const std::string& pathAndQuery, const std::string& body) {
    const std::wstring url = L"http://localhost:" + Utf8ToWide(BRELIO_STRINGIZE(BRELIO_STANDIN_PORT)) +
                             L"/_control" + Utf8ToWide(pathAndQuery);
    CJXHttpRequest request;
    request.AddHeaders(L"Content-Type: application/json");
    EXPECT_EQ(request.Open(0), S_OK);
    CJXMemoryStream response;
    const HRESULT hr = request.GetResponse(CJXUri(url), method, body.data(), static_cast<DWORD>(body.size()),
                                           &response, 0);
    if (FAILED(hr)) {
        ADD_FAILURE() << "control call " << pathAndQuery << " failed: 0x" << std::hex << hr;
        return Json::Value();
    }
    Json::Value root;
    Json::CharReaderBuilder builder;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    const char* begin = reinterpret_cast<const char*>(response.GetData());
    std::string errors;
    if (!reader->parse(begin, begin + response.GetSize(), &root, &errors) || !root.isObject() ||
        !root["ok"].asBool()) {
        ADD_FAILURE() << "control call " << pathAndQuery << " answered "
                      << std::string(begin, response.GetSize());
        return Json::Value();
    }
    return root;
}

}  // namespace

Json::Value ControlGet(const std::string& pathAndQuery) { return Call(CJXHttpRequest::kRead, pathAndQuery, {}); }

Json::Value ControlPost(const std::string& pathAndQuery, const Json::Value& body) {
    Json::StreamWriterBuilder writer;
    writer["indentation"] = "";
    return Call(CJXHttpRequest::kSubmit, pathAndQuery, Json::writeString(writer, body));
}

std::wstring StandinAccount::SessionHeader() const {
    return L"SESSION: " + Utf8ToWide(session) + L"\r\nBrelio-Tenant-Domain: " + Utf8ToWide(tenantDomain);
}

StandinAccount CreateAccount(const std::string& tenant, const std::string& userCode) {
    Json::Value body;
    body["tenant"] = tenant;
    body["userCode"] = userCode;
    body["name"] = "Test User";
    const Json::Value answer = ControlPost("/accounts", body);
    StandinAccount account;
    account.session = answer["session"].asString();
    account.driveId = answer["driveId"].asString();
    account.tenant = tenant;
    account.tenantDomain = answer["tenantDomain"].asString();
    return account;
}

}  // namespace brelio::test
