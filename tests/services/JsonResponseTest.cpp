#include <gtest/gtest.h>

#include <cstring>

#include "BrelioServices/JsonResponse.h"

namespace {

CJXMemoryStream StreamOf(const std::string& text) {
    CJXMemoryStream stream;
    stream.Write(text.data(), text.size());
    return stream;
}

std::string Envelope(const std::string& result, bool ok = true, int code = 0) {
    return std::string("{\"header\":{\"isSuccessful\":") + (ok ? "true" : "false") +
           ",\"resultCode\":" + std::to_string(code) + "},\"result\":" + result + "}";
}

const char kFile[] =
    "{\"id\":\"18446744073709551615\",\"name\":\"a\\u00e9.txt\",\"path\":\"/d/a\\u00e9.txt\","
    "\"revision\":\"42\",\"type\":\"file\",\"version\":3,\"hash\":\"ab12\"}";

}  // namespace

TEST(JsonResponse, FileRecordReadsEveryField) {
    CJsonResponse response(StreamOf(Envelope(std::string("{\"content\":") + kFile + "}")));
    FileInfo file;
    ASSERT_TRUE(response.ParseFile(file));
    EXPECT_EQ(file.id, 18446744073709551615ull);
    EXPECT_EQ(file.name, L"a\u00e9.txt");
    EXPECT_EQ(file.path, L"/d/a\u00e9.txt");
    EXPECT_EQ(file.revision, 42u);
    EXPECT_EQ(file.type, "file");
    EXPECT_EQ(file.version, 3);
    EXPECT_EQ(file.hash, "ab12");
    EXPECT_EQ(response.GetResultCode(), 0);
}

// Each row: an answer, and whether ParseFile takes it.
TEST(JsonResponse, FileParseRejectsBrokenAnswers) {
    struct Case {
        const char* what;
        std::string body;
        bool parses;
        int resultCode;
    } cases[] = {
        {"id as a number", Envelope("{\"content\":{\"id\":5,\"name\":\"a\",\"path\":\"/a\",\"revision\":\"1\",\"type\":\"file\"}}"), false, 0},
        {"id beyond 64 bits", Envelope("{\"content\":{\"id\":\"18446744073709551616\",\"name\":\"a\",\"path\":\"/a\",\"revision\":\"1\",\"type\":\"file\"}}"), false, 0},
        {"leading digits count", Envelope("{\"content\":{\"id\":\"12abc\",\"name\":\"a\",\"path\":\"/a\",\"revision\":\"1\",\"type\":\"file\"}}"), true, 0},
        {"missing name", Envelope("{\"content\":{\"id\":\"1\",\"path\":\"/a\",\"revision\":\"1\",\"type\":\"file\"}}"), false, 0},
        {"name as a number", Envelope("{\"content\":{\"id\":\"1\",\"name\":7,\"path\":\"/a\",\"revision\":\"1\",\"type\":\"file\"}}"), false, 0},
        {"version as text", Envelope("{\"content\":{\"id\":\"1\",\"name\":\"a\",\"path\":\"/a\",\"revision\":\"1\",\"type\":\"file\",\"version\":\"x\"}}"), false, 0},
        {"no version", Envelope("{\"content\":{\"id\":\"1\",\"name\":\"a\",\"path\":\"/a\",\"revision\":\"1\",\"type\":\"folder\"}}"), true, 0},
        {"unsuccessful envelope", Envelope(std::string("{\"content\":") + kFile + "}", false, -15100202), false, -15100202},
        {"no header", std::string("{\"result\":{\"content\":") + kFile + "}}", false, -1},
        {"header is a text", "{\"header\":\"x\",\"result\":{}}", false, -1},
        {"body is an array", "[1,2,3]", false, -1},
        {"not JSON", "<html>oops</html>", false, -1},
        {"empty body", "", false, -1},
        {"resultCode as text", "{\"header\":{\"isSuccessful\":true,\"resultCode\":\"x\"},\"result\":{}}", false, -1},
        {"isSuccessful as number", "{\"header\":{\"isSuccessful\":1,\"resultCode\":0},\"result\":{}}", false, 0},
        {"content is a text", Envelope("{\"content\":\"x\"}"), false, 0},
    };
    for (const Case& c : cases) {
        CJsonResponse response(StreamOf(c.body));
        FileInfo file;
        EXPECT_EQ(response.ParseFile(file), c.parses) << c.what;
        EXPECT_EQ(response.GetResultCode(), c.resultCode) << c.what;
    }
}

TEST(JsonResponse, WideFieldOf1024UnitsArrivesEmpty) {
    for (size_t length : {1023u, 1024u}) {
        const std::string name(length, 'n');
        CJsonResponse response(StreamOf(Envelope("{\"content\":{\"id\":\"1\",\"name\":\"" + name +
                                                 "\",\"path\":\"/p\",\"revision\":\"1\",\"type\":\"file\"}}")));
        FileInfo file;
        ASSERT_TRUE(response.ParseFile(file));
        EXPECT_EQ(file.name.size(), length == 1023 ? 1023u : 0u);
    }
}

TEST(JsonResponse, ListParsersAppendWholeRecordsOnly) {
    FileInfoList files;
    files.push_back(FileInfo{});
    const std::string good = "{\"id\":\"2\",\"name\":\"b\",\"path\":\"/b\",\"revision\":\"2\",\"type\":\"file\"}";
    const std::string bad = "{\"id\":3,\"name\":\"c\",\"path\":\"/c\",\"revision\":\"3\",\"type\":\"file\"}";
    CJsonResponse response(StreamOf(Envelope("{\"contents\":[" + good + "," + bad + "," + good + "]}")));
    EXPECT_FALSE(response.ParseFiles(files));
    // The record before the broken one stays; nothing of the broken one does.
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[1].id, 2u);
}

TEST(JsonResponse, ListShapes) {
    struct Case {
        const char* what;
        std::string result;
        bool parses;
        size_t count;
    } cases[] = {
        {"no contents", "{}", true, 0},
        {"null result", "null", true, 0},
        {"contents is an object", "{\"contents\":{\"a\":1}}", false, 0},
        {"empty contents", "{\"contents\":[]}", true, 0},
    };
    for (const Case& c : cases) {
        FileInfoList files;
        CJsonResponse response(StreamOf(Envelope(c.result)));
        EXPECT_EQ(response.ParseFiles(files), c.parses) << c.what;
        EXPECT_EQ(files.size(), c.count) << c.what;
    }
}

TEST(JsonResponse, ChangesRequireTypeButSingleChangeDoesNot) {
    const std::string noType =
        "{\"revision\":\"9\",\"file\":{\"id\":\"4\",\"revision\":\"9\",\"type\":\"file\"}}";
    ChangeInfo change;
    CJsonResponse single(StreamOf(Envelope("{\"content\":" + noType + "}")));
    EXPECT_TRUE(single.ParseChange(change));
    EXPECT_EQ(change.file.id, 4u);
    EXPECT_TRUE(change.file.name.empty());

    ChangeInfoList changes;
    CJsonResponse list(StreamOf(Envelope("{\"contents\":[" + noType + "]}")));
    EXPECT_FALSE(list.ParseChanges(changes));
    EXPECT_TRUE(changes.empty());

    const std::string deleted =
        "{\"changeType\":\"deleted\",\"revision\":\"10\",\"file\":{\"id\":\"5\",\"revision\":\"10\",\"type\":\"folder\"}}";
    CJsonResponse feed(StreamOf(Envelope("{\"contents\":[" + deleted + "]}")));
    ASSERT_TRUE(feed.ParseChanges(changes));
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].changeType, "deleted");
    EXPECT_EQ(changes[0].revision, 10u);
    EXPECT_EQ(changes[0].file.version, 0);
}

TEST(JsonResponse, DrivesKeepEmptyProjectWhenNull) {
    DriveInfoList drives;
    CJsonResponse response(StreamOf(Envelope(
        "{\"contents\":[{\"id\":\"7\",\"tenantId\":\"t1\",\"projectId\":null,\"name\":\"Mine\","
        "\"type\":\"Private\",\"latestRevision\":\"99\"}]}")));
    ASSERT_TRUE(response.ParseDrives(drives));
    ASSERT_EQ(drives.size(), 1u);
    EXPECT_EQ(drives[0].id, 7u);
    EXPECT_TRUE(drives[0].projectId.empty());
    EXPECT_EQ(drives[0].latestRevision, 99u);
    EXPECT_TRUE(IsPrivateDrive(drives[0].type.c_str()));
}

TEST(JsonResponse, UploadSessionPartsOptional) {
    UploadSessionInfo session;
    CJsonResponse bare(StreamOf(Envelope("{\"content\":{\"id\":\"s1\"}}")));
    ASSERT_TRUE(bare.ParseUploadSession(session));
    EXPECT_EQ(session.id, "s1");
    EXPECT_TRUE(session.parts.empty());

    UploadSessionInfo withParts;
    CJsonResponse parts(StreamOf(Envelope(
        "{\"content\":{\"id\":\"s2\",\"parts\":[{\"number\":1,\"offset\":0,\"length\":4294967296}]}}")));
    ASSERT_TRUE(parts.ParseUploadSession(withParts));
    ASSERT_EQ(withParts.parts.size(), 1u);
    EXPECT_EQ(withParts.parts[0].length, 4294967296LL);
}

TEST(JsonResponse, TenantIsReadFromResultItself) {
    TenantInfo tenant;
    tenant.name = L"kept";
    CJsonResponse unknown(StreamOf(Envelope("null")));
    ASSERT_TRUE(unknown.ParseTenant(tenant));
    EXPECT_TRUE(tenant.tenantId.empty());
    EXPECT_EQ(tenant.name, L"kept");

    CJsonResponse known(StreamOf(Envelope("{\"name\":\"Acme\",\"tenantId\":\"T9\"}")));
    ASSERT_TRUE(known.ParseTenant(tenant));
    EXPECT_EQ(tenant.name, L"Acme");
    EXPECT_EQ(tenant.tenantId, "T9");
}

TEST(JsonResponse, MemberNeedsNameAndUserCode) {
    MemberInfo member;
    CJsonResponse good(StreamOf(Envelope("{\"content\":{\"name\":\"Kim\",\"userCode\":\"kim@x\"}}")));
    ASSERT_TRUE(good.ParseMember(member));
    EXPECT_EQ(member.userCode, "kim@x");
    CJsonResponse bad(StreamOf(Envelope("{\"content\":{\"name\":\"Kim\"}}")));
    EXPECT_FALSE(bad.ParseMember(member));
}

TEST(JsonResponse, TypeTestsIgnoreCase) {
    EXPECT_TRUE(IsFileType("FILE"));
    EXPECT_FALSE(IsFileType("folder"));
    EXPECT_FALSE(IsFileType(nullptr));
    EXPECT_TRUE(IsPrivateDrive("Private"));
    EXPECT_FALSE(IsPrivateDrive("shared"));
}
