#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <thread>
#include <vector>

#include "BrelioCore/TextConvert.h"
#include "BrelioCore/UniqueHandle.h"
#include "BrelioServices/DriveApi.h"
#include "BrelioServices/FileTransfer.h"
#include "Sha256.h"
#include "StandinTest.h"

using namespace brelio::test;
using brelio::UniqueKernelHandle;

namespace {

std::string Pattern(size_t size, unsigned seed = 0) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 31 + seed) & 0xFF);
    return bytes;
}

// Writes a large file in pieces without holding it in memory.
bool WriteLargeFile(const std::wstring& path, uint64_t size) {
    UniqueKernelHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    if (!file) return false;
    const std::string chunk = Pattern(1 << 20, 7);
    for (uint64_t done = 0; done < size;) {
        const DWORD piece = static_cast<DWORD>(std::min<uint64_t>(chunk.size(), size - done));
        DWORD written = 0;
        if (!WriteFile(file.Get(), chunk.data(), piece, &written, nullptr) || written != piece) return false;
        done += piece;
    }
    return true;
}

FILETIME LastWriteOf(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
    return data.ftLastWriteTime;
}

bool SameTime(const FILETIME& a, const FILETIME& b) {
    return a.dwLowDateTime == b.dwLowDateTime && a.dwHighDateTime == b.dwHighDateTime;
}

class FileTransfer : public StandinTest {
protected:
    void SetUp() override {
        StandinTest::SetUp();
        const Json::Value seeded = Seed({FolderItem("/docs"), FileItem("/docs/old.bin", 100)});
        m_docs = IdOf(seeded[0]);
        m_old = IdOf(seeded[1]);
        m_oldRevision = std::stoull(seeded[1]["revision"].asString());
        // Temporary copies go to this test's own folder, where they can be
        // counted without other tests' files in the way.
        m_temp = m_folder / L"tmp";
        CreateDirectoryW(m_temp.c_str(), nullptr);
        SetEnvironmentVariableW(L"TMP", (m_temp + L"\\").c_str());
        ClearLog();
    }

    size_t LeftoverCopies() const { return CountMatching(m_temp, L"$$$*"); }

    uint64_t m_docs = 0;
    uint64_t m_old = 0;
    uint64_t m_oldRevision = 0;
    std::wstring m_temp;
};

}  // namespace

// One request per file up to 2 GiB, from memory below 1 MiB and from the
// file above; the service stores exactly the bytes that were on disk.
TEST_F(FileTransfer, WholeFileUploadsArriveIntact) {
    struct Case {
        const wchar_t* name;
        size_t size;
        bool update;
        const char* escapedName;
    } cases[] = {
        {L"empty.txt", 0, false, "empty.txt"},
        {L"a b%.bin", 0xFFFFF, false, "a%20b%25.bin"},
        {L"\u00e9t\u00e9.bin", 0x100000, false, "%c3%a9t%c3%a9.bin"},
        {L"old.bin", 5000, true, "old.bin"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(brelio::WideToUtf8(c.name));
        const std::wstring path = m_folder / c.name;
        const std::string bytes = Pattern(c.size, static_cast<unsigned>(c.size));
        ASSERT_TRUE(WriteFileBytes(path, bytes));
        FileInfo info;
        uint64_t size = 99;
        FILETIME time = {};
        const uint64_t target = c.update ? m_old : m_docs;
        ASSERT_EQ(UploadFile(target, path.c_str(), c.update ? m_oldRevision : 0, info, size, time), 0);
        EXPECT_EQ(size, c.size);
        EXPECT_TRUE(SameTime(time, LastWriteOf(path)));
        EXPECT_EQ(info.name, c.name);
        EXPECT_EQ(Item(info.id)["sha256"].asString(), Sha256Hex(bytes));

        const Json::Value requests = Requests();
        ASSERT_EQ(requests.size(), 1u);
        const Json::Value& request = requests[0];
        EXPECT_EQ(request["method"].asString(), "POST");
        if (c.update) {
            EXPECT_EQ(request["path"].asString(), "/files/" + std::to_string(m_old) + "/update");
            EXPECT_EQ(request["query"].asString(), "latestRevision=" + std::to_string(m_oldRevision));
        } else {
            EXPECT_EQ(request["path"].asString(), "/files");
            EXPECT_EQ(request["query"].asString(), "parentId=" + std::to_string(m_docs));
        }
        EXPECT_EQ(request["headers"]["Content-Type"].asString(), "application/octet-stream");
        EXPECT_EQ(request["headers"]["Filename"].asString(), c.escapedName);
        EXPECT_EQ(request["bodyLength"].asUInt64(), c.size);
        ClearLog();
    }
    EXPECT_EQ(LeftoverCopies(), 0u);
}

TEST_F(FileTransfer, SessionRequests) {
    const std::wstring path = m_folder / L"part.bin";
    const std::string bytes = Pattern(3000);
    ASSERT_TRUE(WriteFileBytes(path, bytes));
    UniqueKernelHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(file);

    struct Case {
        const char* kind;
        uint64_t target;
        uint64_t revision;
        std::string body;
    } cases[] = {
        {"upload-sessions", m_docs, 0,
         "{ \"name\": \"p\\\"q.png\", \"parentId\": \"" + std::to_string(m_docs) +
             "\", \"mimeType\": \"image/png\", \"size\": 3000 }"},
        {"update-sessions", m_old, m_oldRevision,
         "{ \"name\": \"old.bin\", \"fileId\": \"" + std::to_string(m_old) +
             "\", \"mimeType\": \"application/octet-stream\", \"latestRevision\": \"" +
             std::to_string(m_oldRevision) + "\", \"size\": 3000 }"},
    };
    Json::Value config;
    config["session"] = m_account.session;
    config["partSize"] = 1024;
    ControlPost("/config", config);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        const bool newFile = c.revision == 0;
        RequestStatus status;
        UploadSessionInfo session;
        ASSERT_EQ(CreateUploadSession(status, c.target, newFile ? L"p\"q.png" : L"old.bin", c.revision, 3000, session), 0);
        ASSERT_EQ(session.parts.size(), 3u);
        ASSERT_TRUE(ArePartsValid(session, 3000));
        for (const UploadPartInfo& part : session.parts)
            ASSERT_EQ(UploadPart(status, session.id.c_str(), file.Get(), static_cast<int>(part.number),
                                 part.offset, static_cast<uint32_t>(part.length), newFile),
                      0);
        FileInfo info;
        ASSERT_EQ(FinishUploadSession(status, session.id.c_str(), newFile, info), 0);
        EXPECT_EQ(status.receiveTimeout, 600000u);
        EXPECT_EQ(Item(info.id)["sha256"].asString(), Sha256Hex(bytes));

        const Json::Value requests = Requests();
        ASSERT_EQ(requests.size(), 5u);
        EXPECT_EQ(requests[0]["method"].asString(), "POST");
        EXPECT_EQ(requests[0]["path"].asString(), std::string("/") + c.kind);
        EXPECT_EQ(requests[0]["body"].asString(), c.body);
        EXPECT_EQ(requests[0]["headers"]["Content-Type"].asString(), "application/json");
        for (int i = 1; i <= 3; ++i) {
            EXPECT_EQ(requests[i]["method"].asString(), "PUT");
            EXPECT_EQ(requests[i]["path"].asString(),
                      std::string("/") + c.kind + "/" + session.id + "/parts/" + std::to_string(i));
            EXPECT_EQ(requests[i]["headers"]["Content-Type"].asString(), "application/octet-stream");
        }
        EXPECT_EQ(requests[4]["method"].asString(), "POST");
        EXPECT_EQ(requests[4]["path"].asString(), std::string("/") + c.kind + "/" + session.id + "/finish");
        EXPECT_EQ(requests[4]["bodyLength"].asUInt64(), 0u);
        ClearLog();
        m_oldRevision = info.revision;
    }
}

// Over 2 GiB the file goes up in the parts the server chose. Parts that do
// not tile the file are refused before a byte is sent.
TEST_F(FileTransfer, FileOver2GiBGoesThroughASession) {
    const uint64_t size = 0x80000000ull + 4097;
    const std::wstring path = m_folder / L"big.bin";
    ASSERT_TRUE(WriteLargeFile(path, size));

    Json::Value bad;
    bad["path"] = "upload-sessions";
    bad["parts"][0]["number"] = 1;
    bad["parts"][0]["offset"] = 0;
    bad["parts"][0]["length"] = 4096;
    AddFault(bad);
    FileInfo info;
    uint64_t sent = 0;
    FILETIME time = {};
    EXPECT_EQ(UploadFile(m_docs, path.c_str(), 0, info, sent, time), API_E_BAD_RESPONSE);
    Json::Value requests = Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0]["path"].asString(), "/upload-sessions");
    ClearLog();

    ASSERT_EQ(UploadFile(m_docs, path.c_str(), 0, info, sent, time), 0);
    EXPECT_EQ(sent, size);
    const Json::Value stored = Item(info.id);
    EXPECT_EQ(stored["size"].asUInt64(), size);
    EXPECT_EQ(stored["sha256"].asString(), Sha256HexOfFile(path));
    requests = Requests();
    ASSERT_EQ(requests.size(), 5u);  // session, three parts of at most 1 GiB, finish
    uint64_t partBytes = 0;
    for (int i = 1; i <= 3; ++i) partBytes += requests[i]["bodyLength"].asUInt64();
    EXPECT_EQ(partBytes, size);
    EXPECT_EQ(LeftoverCopies(), 0u);
}

// The file is read where it lies: a program that writes to it while it
// goes up cuts the request short of its last byte, and nothing of the
// mixed content is stored.
TEST_F(FileTransfer, FileWrittenWhileItGoesUpIsNotStored) {
    const std::wstring path = m_folder / L"busy.bin";
    ASSERT_TRUE(WriteLargeFile(path, 64ull << 20));
    UniqueKernelHandle writer(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(writer);
    std::atomic<bool> done{false};
    std::thread saving([&] {
        for (unsigned char value = 0; !done; ++value) {
            OVERLAPPED atStart = {};
            DWORD written = 0;
            WriteFile(writer.Get(), &value, 1, &written, &atStart);
            Sleep(1);
        }
    });
    FileInfo info;
    uint64_t size = 0;
    FILETIME time = {};
    const ApiErrorCode result = UploadFile(m_docs, path.c_str(), 0, info, size, time);
    done = true;
    saving.join();
    EXPECT_EQ(result, E_SOURCE_CHANGED);
    // The stand-in logs a request once its whole body is in.
    EXPECT_EQ(Requests().size(), 0u);

    writer.Reset();
    ASSERT_EQ(UploadFile(m_docs, path.c_str(), 0, info, size, time), 0);
    EXPECT_EQ(info.name, L"busy.bin");  // no earlier item took the name
    EXPECT_EQ(Item(info.id)["sha256"].asString(), Sha256HexOfFile(path));
}

// The local file changes only when the whole content arrived.
TEST_F(FileTransfer, FailedDownloadLeavesTheLocalFileAlone) {
    const std::wstring path = m_folder / L"local.bin";
    const std::string original = "the user's own bytes";
    struct Case {
        const char* what;
        Json::Value fault;
        uint64_t id;
    };
    Json::Value cut;
    cut["path"] = "^/files/";
    cut["truncate"] = 10;
    Json::Value serverError;
    serverError["path"] = "^/files/";
    serverError["status"] = 500;
    Json::Value dropped;
    dropped["path"] = "^/files/";
    dropped["close"] = true;
    const Case cases[] = {
        {"body cut short", cut, m_old},
        {"HTTP 500", serverError, m_old},
        {"connection dropped", dropped, m_old},
        {"HTTP 404", Json::Value(), 999999},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(WriteFileBytes(path, original));
        if (!c.fault.isNull()) AddFault(c.fault);
        uint64_t size = 0;
        FILETIME time = {};
        EXPECT_LT(DownloadFile(c.id, path.c_str(), size, time), 0);
        EXPECT_EQ(ReadFileBytes(path), original);
        EXPECT_EQ(CountMatching(m_folder.Path(), L"$$$*"), 0u);
        ClearFaults();
    }
}

TEST_F(FileTransfer, DownloadReplacesTheFileWithTheRemoteContent) {
    const std::wstring path = m_folder / L"local.bin";
    ASSERT_TRUE(WriteFileBytes(path, "stale"));
    uint64_t size = 0;
    FILETIME time = {};
    ASSERT_EQ(DownloadFile(m_old, path.c_str(), size, time), 0);
    EXPECT_EQ(size, 100u);
    EXPECT_EQ(Sha256HexOfFile(path), Item(m_old)["sha256"].asString());
    EXPECT_TRUE(SameTime(time, LastWriteOf(path)));
    const Json::Value requests = Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0]["method"].asString(), "GET");
    EXPECT_EQ(requests[0]["path"].asString(), "/files/" + std::to_string(m_old));
    EXPECT_EQ(requests[0]["query"].asString(), "media=raw");
    EXPECT_EQ(CountMatching(m_folder.Path(), L"$$$*"), 0u);

    // A new file that did not exist before is created.
    const std::wstring fresh = m_folder / L"fresh.bin";
    ASSERT_EQ(DownloadFile(m_old, fresh.c_str(), size, time), 0);
    EXPECT_EQ(ReadFileBytes(fresh), ReadFileBytes(path));
}

// Another program that has the new content open for a moment as it is
// placed (an indexer or a virus scanner reading a file it saw appear, here
// without letting it be renamed) delays the download, never fails it.
TEST_F(FileTransfer, AFileHeldForAMomentAsItIsPlacedStillArrives) {
    const std::wstring path = m_folder / L"held.bin";
    ASSERT_TRUE(WriteFileBytes(path, "stale"));
    std::thread letGo;
    bool held = false;
    const auto holdTheNewContent = [&]() -> HRESULT {
        WIN32_FIND_DATAW found = {};
        const brelio::UniqueFindHandle find(::FindFirstFileW((m_folder / L"$$$*").c_str(), &found));
        if (!find) return S_OK;
        UniqueKernelHandle file(::CreateFileW((m_folder / found.cFileName).c_str(), GENERIC_READ,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
        held = static_cast<bool>(file);
        letGo = std::thread([file = std::move(file)]() mutable {
            ::Sleep(600);
            file.Reset();
        });
        return S_OK;
    };
    uint64_t size = 0;
    FILETIME time = {};
    EXPECT_EQ(DownloadFile(m_old, path.c_str(), size, time, nullptr, holdTheNewContent), 0);
    if (letGo.joinable()) letGo.join();
    EXPECT_TRUE(held) << "the new content was held as it was placed";
    EXPECT_EQ(Sha256HexOfFile(path), Item(m_old)["sha256"].asString());
    EXPECT_TRUE(SameTime(time, LastWriteOf(path)));
    EXPECT_EQ(CountMatching(m_folder.Path(), L"$$$*"), 0u);
}

TEST(DownloadTempName, OnlyTheEnginesOwnShapeMatches) {
    const struct {
        const wchar_t* name;
        bool engines;
    } cases[] = {
        {L"$$$brelio-0123456789abcdef.tmp", true},
        {L"$$$BRELIO-0123456789ABCDEF.TMP", true},
        {L"$$$1234.tmp", false},
        {L"$$$brelio-notes.tmp", false},
        {L"$$$brelio-0123456789abcdeg.tmp", false},
        {L"$$$brelio-0123456789abcde.tmp", false},
        {L"$$$brelio-0123456789abcdef0.tmp", false},
        {L"$$$brelio-0123456789abcdef.tmp.txt", false},
        {L"x$$$brelio-0123456789abcdef.tmp", false},
        {L"$$$__STOP__$$$", false},
        {L"", false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsEngineTemporaryName(c.name), c.engines) << brelio::WideToUtf8(c.name);
    EXPECT_FALSE(IsEngineTemporaryName(nullptr));
}

// The temporary file goes beside the target while its name fits there
// within MAX_PATH, else into the spare folder; a name is never cut.
TEST_F(FileTransfer, TemporaryFileGoesWhereItsNameFits) {
    const std::wstring shortFolder = m_folder.Path();
    const std::wstring deepFolder = shortFolder + L"\\" + std::wstring(250 - shortFolder.size() - 1, L'd');
    ASSERT_EQ(deepFolder.size(), 250u);
    std::wstring folder;
    ASSERT_EQ(ChooseDownloadTempFolder((shortFolder + L"\\a.txt").c_str(), nullptr, folder), S_OK);
    EXPECT_EQ(folder, shortFolder + L"\\");
    ASSERT_EQ(ChooseDownloadTempFolder((deepFolder + L"\\a.txt").c_str(), shortFolder.c_str(), folder), S_OK);
    EXPECT_EQ(folder, shortFolder + L"\\") << "the spare folder";
    EXPECT_EQ(ChooseDownloadTempFolder((deepFolder + L"\\a.txt").c_str(), deepFolder.c_str(), folder),
              HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE));
    EXPECT_TRUE(folder.empty());

    // Nowhere to put it: the download fails before it asks for anything.
    uint64_t size = 0;
    FILETIME time = {};
    EXPECT_EQ(DownloadFile(m_old, (deepFolder + L"\\a.txt").c_str(), size, time, nullptr),
              HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE));
    EXPECT_EQ(Requests().size(), 0u);

    // Each file made gets a name of its own, of the engine's shape.
    std::wstring first, second;
    UniqueKernelHandle a, b;
    ASSERT_EQ(CreateDownloadTempFile(shortFolder + L"\\", first, a), S_OK);
    ASSERT_EQ(CreateDownloadTempFile(shortFolder + L"\\", second, b), S_OK);
    EXPECT_NE(first, second);
    for (const std::wstring& path : {first, second}) {
        EXPECT_EQ(path.rfind(shortFolder + L"\\", 0), 0u);
        EXPECT_TRUE(IsEngineTemporaryName(path.c_str() + shortFolder.size() + 1)) << brelio::WideToUtf8(path);
    }
}

TEST_F(FileTransfer, LockedSourceFailsAfterItsRetriesAndLeavesNoCopy) {
    const std::wstring path = m_folder / L"locked.txt";
    ASSERT_TRUE(WriteFileBytes(path, "data"));
    UniqueKernelHandle lock(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(lock);
    FileInfo info;
    uint64_t size = 0;
    FILETIME time = {};
    const ULONGLONG start = GetTickCount64();
    EXPECT_EQ(UploadFile(m_docs, path.c_str(), 0, info, size, time), HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION));
    EXPECT_GE(GetTickCount64() - start, 900u);  // four pauses of 250 ms
    EXPECT_EQ(Requests().size(), 0u);
    EXPECT_EQ(LeftoverCopies(), 0u);
}

TEST_F(FileTransfer, ReadOnlySourceUploads) {
    const std::wstring path = m_folder / L"readonly.txt";
    ASSERT_TRUE(WriteFileBytes(path, "keep me"));
    ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY));
    FileInfo info;
    uint64_t size = 0;
    FILETIME time = {};
    EXPECT_EQ(UploadFile(m_docs, path.c_str(), 0, info, size, time), 0);
    EXPECT_EQ(Item(info.id)["sha256"].asString(), Sha256Hex("keep me"));
    EXPECT_EQ(LeftoverCopies(), 0u);
    EXPECT_EQ(GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_READONLY, DWORD(FILE_ATTRIBUTE_READONLY));
}

TEST_F(FileTransfer, NameTooLongForItsHeaderIsNotSent) {
    const std::wstring name(300, L'\u3042');  // nine escaped bytes each
    CJXMemoryStream body;
    body.Write("x", 1);
    RequestStatus status;
    FileInfo info;
    EXPECT_EQ(UploadWholeFile(status, m_docs, name.c_str(), 0, &body, nullptr, info),
              HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE));
    EXPECT_EQ(Requests().size(), 0u);
}

TEST_F(FileTransfer, MissingSourceSendsNothing) {
    FileInfo info;
    uint64_t size = 0;
    FILETIME time = {};
    const std::wstring path = m_folder / L"gone.txt";
    EXPECT_EQ(UploadFile(m_docs, path.c_str(), 0, info, size, time), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(Requests().size(), 0u);
    EXPECT_EQ(LeftoverCopies(), 0u);
}
