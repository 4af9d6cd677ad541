// Both sides changed into the same content: no conflict copy, no transfer,
// the row written in sync. A kill between the service carrying out a
// transfer and the row being written leaves exactly this.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <string>

#include "BrelioCore/TextConvert.h"
#include "BrelioServices/ContentHash.h"
#include "BrelioSync/FileTimes.h"
#include "EngineTest.h"
#include "Sha256.h"

using namespace brelio::test;

namespace {

class SameContent : public EngineTest {
public:
    using StandinTest::Remote;
    using StandinTest::Seed;

    void UploadRemotely(const std::string& path, const std::string& content) {
        Json::Value change;
        change["op"] = "upload";
        change["path"] = path;
        change["content"] = Base64(content);
        Remote(change);
    }
    size_t ConflictCopies() { return CountMatching(m_root, L"*(conflicted and copied from *"); }
    size_t Transfers() { return CountRequests("GET", "/files/") + CountRequests("POST", "/files"); }
    // The row is in sync with the remote item and the local file.
    void ExpectRowInSync(const std::wstring& relative, const Json::Value& remote) {
        const FileRecord row = Row(relative);
        EXPECT_EQ(row.status, FILE_STATUS_SYNCED);
        EXPECT_EQ(row.file_id, IdOf(remote));
        EXPECT_EQ(row.hash, remote["hash"].asString());
        EXPECT_EQ(row.revision, std::stoull(remote["revision"].asString()));
        WIN32_FILE_ATTRIBUTE_DATA data = {};
        ASSERT_TRUE(::GetFileAttributesExW(Local(relative).c_str(), GetFileExInfoStandard, &data));
        EXPECT_EQ(row.last_write_time, FileTimeToTicks(data.ftLastWriteTime));
        EXPECT_EQ(row.size, data.nFileSizeLow);
    }
};

// The rule itself, by the form of the service's hash text.
struct HashCase {
    const char* name;
    std::function<std::string(const std::string& sha256)> hash;  // of the local content "same"
    HRESULT result;
};

void PrintTo(const HashCase& c, std::ostream* os) { *os << c.name; }

class SameContentByHash : public SameContent, public ::testing::WithParamInterface<HashCase> {};

std::string Digest(ContentDigest digest, const std::string& bytes) {
    std::string hex;
    EXPECT_EQ(HashBytes(digest, bytes.data(), bytes.size(), hex), S_OK);
    return hex;
}

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    return text;
}

TEST_P(SameContentByHash, RecordOnlyWhatIsKnownToBeEqual) {
    const HashCase& c = GetParam();
    WriteLocal(L"f.txt", "same");
    FileInfo remote;
    remote.id = 4242;
    remote.name = L"f.txt";
    remote.path = L"/f.txt";
    remote.type = "file";
    remote.revision = 17;
    remote.hash = c.hash(Sha256Hex("same"));
    EXPECT_EQ(m_engine.RecordIfSameContent(remote, Local(L"f.txt").c_str()), c.result);
    if (c.result == S_OK) {
        const FileRecord row = Row(L"f.txt");
        EXPECT_EQ(row.file_id, 4242u);
        EXPECT_EQ(row.revision, 17u);
        EXPECT_EQ(row.hash, remote.hash);
        EXPECT_EQ(row.size, 4u);
        EXPECT_EQ(row.status, FILE_STATUS_SYNCED);
    } else {
        EXPECT_FALSE(HasRow(L"f.txt"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Forms, SameContentByHash,
    ::testing::Values(
        HashCase{"Sha256", [](const std::string& sha) { return sha; }, S_OK},
        HashCase{"Sha256InCapitals", [](const std::string& sha) { return Upper(sha); }, S_OK},
        HashCase{"Sha1", [](const std::string&) { return Digest(ContentDigest::Sha1, "same"); }, S_OK},
        HashCase{"Md5", [](const std::string&) { return Digest(ContentDigest::Md5, "same"); }, S_OK},
        HashCase{"OtherContent", [](const std::string&) { return Sha256Hex("other"); }, S_FALSE},
        HashCase{"Sha1OfOtherContent", [](const std::string&) { return Digest(ContentDigest::Sha1, "other"); },
                 S_FALSE},
        HashCase{"UnknownForm", [](const std::string& sha) { return sha.substr(0, 48); }, S_FALSE},
        HashCase{"Prefixed", [](const std::string& sha) { return "sha256:" + sha; }, S_FALSE},
        HashCase{"Empty", [](const std::string&) { return std::string(); }, S_FALSE}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SameContent, AMissingFileIsNeverEqual) {
    FileInfo remote;
    remote.id = 7;
    remote.type = "file";
    remote.hash = Sha256Hex("");
    EXPECT_EQ(m_engine.RecordIfSameContent(remote, Local(L"absent.txt").c_str()), S_FALSE);
    EXPECT_EQ(RowCount(), 0u);
}

// The full-sync walk, by what the row says.
struct WalkCase {
    const char* name;
    // Leaves f.txt with the content "same" on both sides.
    std::function<void(SameContent&)> arrange;
};

void PrintTo(const WalkCase& c, std::ostream* os) { *os << c.name; }

class SameContentInTheWalk : public SameContent, public ::testing::WithParamInterface<WalkCase> {};

TEST_P(SameContentInTheWalk, NoCopyNoTransferAndTheRowInSync) {
    GetParam().arrange(*this);
    ClearLog();
    // What the walk did is what counts; its result is only that of its last action.
    (void)m_engine.FullSyncFolder(m_root.c_str(), 0);
    EXPECT_EQ(ConflictCopies(), 0u);
    EXPECT_EQ(Transfers(), 0u);
    EXPECT_EQ(ReadFileBytes(Local(L"f.txt")), "same");
    ExpectRowInSync(L"f.txt", ItemAt("/f.txt"));
    EXPECT_NE(LogText().find("f.txt - same content on both sides."), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SameContentInTheWalk,
    ::testing::Values(
        // Killed after a download, or an upload as new, before the insert.
        WalkCase{"NoRow",
                 [](SameContent& t) {
                     t.Seed({FileWithContent("/f.txt", "same")});
                     t.WriteLocal(L"f.txt", "same");
                 }},
        // Killed after an update was carried out on both sides' behalf.
        WalkCase{"EditedOnBothSides",
                 [](SameContent& t) {
                     const Json::Value item = t.Seed({FileWithContent("/f.txt", "old")})[0];
                     t.WriteLocal(L"f.txt", "old");
                     t.RecordSynced(item, L"f.txt");
                     t.UploadRemotely("/f.txt", "same");
                     ::Sleep(20);
                     t.WriteLocal(L"f.txt", "same");
                 }},
        WalkCase{"RowOfAnotherId",
                 [](SameContent& t) {
                     t.Seed({FileWithContent("/f.txt", "same")});
                     t.WriteLocal(L"f.txt", "same");
                     t.SeedRows({FileRow(99999, L"f.txt", FILE_STATUS_SYNCED, 1, Sha256Hex("older"))});
                 }},
        WalkCase{"ToTransferAgain",
                 [](SameContent& t) {
                     const Json::Value item = t.Seed({FileWithContent("/f.txt", "same")})[0];
                     t.WriteLocal(L"f.txt", "same");
                     FileRecord row = t.SyncedRow(item, L"f.txt");
                     row.status = FILE_STATUS_RETRANSFER;
                     t.SeedRows({row});
                 }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SameContent, DifferentContentOnBothSidesStillKeepsBoth) {
    Seed({FileWithContent("/f.txt", "remote")});
    WriteLocal(L"f.txt", "local");
    // What the walk did is what counts; its result is only that of its last action.
    (void)m_engine.FullSyncFolder(m_root.c_str(), 0);
    EXPECT_EQ(ReadFileBytes(Local(L"f.txt")), "remote");
    EXPECT_EQ(ConflictCopies(), 1u);
}

// The partial pass: a remote update of a file edited here into the same
// content, met with and without the local change record.
class SameContentInAPartialPass : public SameContent, public ::testing::WithParamInterface<bool> {};

TEST_P(SameContentInAPartialPass, NoCopyNoTransferAndTheRowInSync) {
    const bool recorded = GetParam();
    const Json::Value item = Seed({FileWithContent("/f.txt", "old")})[0];
    WriteLocal(L"f.txt", "old");
    RecordSynced(item, L"f.txt");
    {
        CLocalStorage storage(&m_mutex, m_database.c_str(), m_root.c_str());
        ASSERT_EQ(storage.SetLatestRevision(std::stoull(item["revision"].asString())), S_OK);
    }
    UploadRemotely("/f.txt", "same");
    ::Sleep(20);
    WriteLocal(L"f.txt", "same");
    if (recorded) {
        ChangeRecord change;
        change.name = L"f.txt";
        change.action = CHANGE_ACTION_MODIFIED;
        change.file_id = IdOf(item);
        AddChangeRow(change);
    }
    ClearLog();
    m_engine.RunPartialPass();
    EXPECT_EQ(ConflictCopies(), 0u);
    EXPECT_EQ(Transfers(), 0u);
    EXPECT_EQ(ReadFileBytes(Local(L"f.txt")), "same");
    ExpectRowInSync(L"f.txt", ItemAt("/f.txt"));
    EXPECT_EQ(ControlGet("/tree?session=" + m_account.session)["items"].size(), 1u) << "nothing new on the drive";
}

INSTANTIATE_TEST_SUITE_P(LocalChange, SameContentInAPartialPass, ::testing::Values(true, false),
                         [](const auto& info) { return std::string(info.param ? "Recorded" : "NotRecorded"); });

}  // namespace
