#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "BrelioSync/IgnoreScope.h"
#include "BrelioSync/PassSchedule.h"
#include "BrelioSync/SyncItem.h"
#include "EngineRunTest.h"

using namespace brelio::test;

namespace {

bool Exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

class EngineScenario : public EngineRunTest {
protected:
    // A file on both sides, recorded in sync, before the threads start.
    uint64_t Synced(const std::string& remotePath, const std::wstring& relative, const std::string& content) {
        const Json::Value remote = Seed({FileWithContent(remotePath, content)})[0];
        WriteLocal(relative, content);
        RecordSynced(remote, relative);
        return IdOf(remote);
    }
    // The stored revision at the drive's, so that the first pass has
    // nothing to fetch.
    void SettleRevision() {
        CLocalStorage storage(&m_mutex, m_database.c_str(), m_root.c_str());
        ASSERT_EQ(storage.SetLatestRevision(
                      std::stoull(ControlGet("/tree?session=" + m_account.session)["latestRevision"].asString())),
                  S_OK);
    }
    // Polls the engine's log closely, for a moment that only lasts a
    // little while.
    bool WaitForLogLine(const std::string& line, DWORD milliseconds = 30000) {
        const ULONGLONG deadline = ::GetTickCount64() + milliseconds;
        while (LogText().find(line) == std::string::npos) {
            if (::GetTickCount64() >= deadline) return false;
            ::Sleep(2);
        }
        return true;
    }
    void EditRemotely(const std::string& path, const std::string& content) {
        Json::Value upload;
        upload["op"] = "upload";
        upload["path"] = path;
        upload["content"] = Base64(content);
        Remote(upload);
    }
    size_t LiveRemoteFiles() {
        const Json::Value tree = ControlGet("/tree?session=" + m_account.session);
        size_t count = 0;
        for (const Json::Value& item : tree["items"])
            if (!item["trashed"].asBool() && item["type"].asString() == "file") ++count;
        return count;
    }
};

TEST_F(EngineScenario, ALocalEditIsUploadedAfterTheIdleTime) {
    const uint64_t id = Synced("/a.txt", L"a.txt", "before");
    SettleRevision();
    StartThreads();
    WriteLocal(L"a.txt", "after the edit");
    EXPECT_TRUE(WaitUntil([&] { return RemoteHas("/a.txt", "after the edit"); }));
    EXPECT_EQ(IdOf(LiveRemoteItem("/a.txt")), id);
}

TEST_F(EngineScenario, ARemoteEditIsDownloadedAtTheNextPoll) {
    Synced("/a.txt", L"a.txt", "before");
    SettleRevision();
    StartThreads();
    Json::Value upload;
    upload["op"] = "upload";
    upload["path"] = "/a.txt";
    upload["content"] = Base64("edited elsewhere");
    Remote(upload);
    EXPECT_TRUE(WaitUntil([&] { return ReadFileBytes(Local(L"a.txt")) == "edited elsewhere"; }));
}

TEST_F(EngineScenario, ALocalEditGoesUpWhileAnotherFileIsWrittenOverAndOver) {
    const uint64_t id = Synced("/a.txt", L"a.txt", "before");
    SettleRevision();
    StartThreads();
    ClearLog();
    WriteLocal(L"a.txt", "edited once");
    // Bounded: several times the longest a recorded change may wait.
    const ULONGLONG bound = CPassSchedule::PendingBound(kIdleTime);
    const int rounds = static_cast<int>(4 * (bound + kIdleTime) / (kIdleTime / 3));
    bool uploaded = false;
    size_t polls = 0;
    for (int round = 0; round < rounds && !(uploaded && polls >= 3); ++round) {
        // A write that meets the engine reading the file is skipped.
        (void)WriteFileBytes(Local(L"noisy.log"), "write " + std::to_string(round));
        ::Sleep(kIdleTime / 3);
        uploaded = uploaded || RemoteHas("/a.txt", "edited once");
        polls = CountRequests("GET", "/changes");
    }
    EXPECT_TRUE(uploaded) << "the edit went up while the other file was still being written";
    EXPECT_GE(polls, 3u) << "the drive was polled meanwhile";
    EXPECT_EQ(IdOf(LiveRemoteItem("/a.txt")), id);
}

TEST_F(EngineScenario, AnEditRightAfterADownloadIsUploaded) {
    const uint64_t id = Synced("/a.txt", L"a.txt", "before");
    SettleRevision();
    StartThreads();
    EditRemotely("/a.txt", "edited elsewhere");
    // Logged once the download's write has ended, while its path is still
    // masked.
    ASSERT_TRUE(WaitForLogLine("a.txt - downloaded."));
    WriteLocal(L"a.txt", "edited here right after");
    EXPECT_TRUE(WaitUntil([&] { return RemoteHas("/a.txt", "edited here right after"); }));
    EXPECT_EQ(IdOf(LiveRemoteItem("/a.txt")), id);
}

TEST_F(EngineScenario, ADownloadAloneIsNotSentBack) {
    Synced("/a.txt", L"a.txt", "before");
    SettleRevision();
    StartThreads();
    ClearLog();
    EditRemotely("/a.txt", "edited elsewhere");
    ASSERT_TRUE(WaitUntil([&] { return ReadFileBytes(Local(L"a.txt")) == "edited elsewhere"; }));
    ::Sleep(CIgnoreScope::kReleaseDelay + 3 * kIdleTime);
    EXPECT_EQ(CountRequests("POST", ""), 0u) << "nothing uploaded, nothing trashed";
}

TEST_F(EngineScenario, SaveByRenameKeepsOneRemoteFileWithItsId) {
    const uint64_t id = Synced("/doc.txt", L"doc.txt", "version 1");
    SettleRevision();
    StartThreads();
    WriteLocal(L"doc.tmp", "version 2");
    ASSERT_TRUE(::MoveFileW(Local(L"doc.txt").c_str(), Local(L"doc.bak").c_str()));
    ASSERT_TRUE(::MoveFileW(Local(L"doc.tmp").c_str(), Local(L"doc.txt").c_str()));
    ASSERT_TRUE(::DeleteFileW(Local(L"doc.bak").c_str()));
    EXPECT_TRUE(WaitUntil([&] { return RemoteHas("/doc.txt", "version 2"); }));
    ::Sleep(3 * kIdleTime);
    EXPECT_EQ(IdOf(LiveRemoteItem("/doc.txt")), id);
    EXPECT_EQ(LiveRemoteFiles(), 1u);
}

TEST_F(EngineScenario, ARotatingRenameLosesNothing) {
    Synced("/log.1", L"log.1", "one");
    Synced("/log.2", L"log.2", "two");
    Synced("/log.3", L"log.3", "three");
    SettleRevision();
    StartThreads();
    ASSERT_TRUE(::DeleteFileW(Local(L"log.3").c_str()));
    ASSERT_TRUE(::MoveFileW(Local(L"log.2").c_str(), Local(L"log.3").c_str()));
    ASSERT_TRUE(::MoveFileW(Local(L"log.1").c_str(), Local(L"log.2").c_str()));
    WriteLocal(L"log.1", "new one");
    EXPECT_TRUE(WaitUntil([&] {
        return RemoteHas("/log.1", "new one") && RemoteHas("/log.2", "one") && RemoteHas("/log.3", "two");
    }));
    ::Sleep(3 * kIdleTime);
    EXPECT_EQ(ReadFileBytes(Local(L"log.1")), "new one");
    EXPECT_EQ(ReadFileBytes(Local(L"log.2")), "one");
    EXPECT_EQ(ReadFileBytes(Local(L"log.3")), "two");
    EXPECT_EQ(LiveRemoteFiles(), 3u);
}

TEST_F(EngineScenario, AFolderRenamedLocallyIsRenamedRemotelyWithItsContent) {
    SettleRevision();
    StartThreads();
    MakeLocalFolder(L"proj");  // made after the start: Wine watches only those
    WriteLocal(L"proj\\plan.txt", "plan");
    ASSERT_TRUE(WaitUntil([&] { return RemoteHas("/proj/plan.txt", "plan"); }));
    const uint64_t folderId = IdOf(LiveRemoteItem("/proj"));
    const uint64_t fileId = IdOf(LiveRemoteItem("/proj/plan.txt"));
    // The pass that sent plan.txt may still be reading the folder; like a
    // user told the folder is in use, try again.
    ASSERT_TRUE(WaitUntil([&] { return ::MoveFileW(Local(L"proj").c_str(), Local(L"renamed").c_str()) != FALSE; }, 10000));
    EXPECT_TRUE(WaitUntil([&] { return RemoteHas("/renamed/plan.txt", "plan") && RemoteMissing("/proj"); }));
    EXPECT_EQ(IdOf(LiveRemoteItem("/renamed")), folderId);
    EXPECT_EQ(IdOf(LiveRemoteItem("/renamed/plan.txt")), fileId);
}

TEST_F(EngineScenario, ARemoteMoveIsAppliedLocallyWithoutTrashing) {
    const Json::Value folder = Seed({FolderItem("/sub")})[0];
    MakeLocalFolder(L"sub");
    RecordSynced(folder, L"sub");
    Synced("/a.txt", L"a.txt", "moving");
    SettleRevision();
    StartThreads();
    ClearLog();
    Json::Value move;
    move["op"] = "move";
    move["path"] = "/a.txt";
    move["newParentPath"] = "/sub";
    Remote(move);
    EXPECT_TRUE(WaitUntil([&] { return Exists(Local(L"sub\\a.txt")) && !Exists(Local(L"a.txt")); }));
    ::Sleep(3 * kIdleTime);
    EXPECT_EQ(ReadFileBytes(Local(L"sub\\a.txt")), "moving");
    size_t downloads = 0;
    for (const Json::Value& entry : Requests())
        if (entry["method"].asString() == "GET" && entry["query"].asString().find("media=raw") != std::string::npos)
            ++downloads;
    EXPECT_EQ(downloads, 0u) << "moved, not downloaded again";
    EXPECT_EQ(CountRequests("POST", "/trash"), 0u);
    EXPECT_TRUE(RemoteHas("/sub/a.txt", "moving"));
}

TEST_F(EngineScenario, IdlePeriodsWithoutChangesTransferNothing) {
    Synced("/a.txt", L"a.txt", "quiet");
    SettleRevision();
    StartThreads();
    ::Sleep(2 * kIdleTime);
    ClearLog();
    ::Sleep(10 * kIdleTime);
    for (const std::string& line : RequestLines()) EXPECT_EQ(line.rfind("GET /changes", 0), 0u) << line;
    EXPECT_GT(CountRequests("GET", "/changes"), 0u) << "the drive is still polled";
}

TEST_F(EngineScenario, AStopDuringASlowTransferEndsWithinTheWaitsAndTheNextStartFinishes) {
    SettleRevision();
    StartThreads();
    Json::Value slow;
    slow["method"] = "POST";
    slow["delayMs"] = 2500;
    AddFault(slow);
    WriteLocal(L"a.txt", "first");
    WriteLocal(L"b.txt", "second");
    ASSERT_TRUE(WaitUntil([&] { return CountItems(m_posted, SYNC_ITEM_IN_PROGRESS, L".txt") > 0; }));
    const ULONGLONG stopping = ::GetTickCount64();
    EXPECT_EQ(StopThreads(), S_OK);
    EXPECT_LE(::GetTickCount64() - stopping, 3 * 4000u);
    EXPECT_EQ(::GetFileAttributesW(Local(L"$$$__STOP__$$$").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_FALSE(RemoteHas("/a.txt", "first") && RemoteHas("/b.txt", "second")) << "the stop came between them";

    StartThreads();
    EXPECT_TRUE(WaitUntil([&] { return RemoteHas("/a.txt", "first") && RemoteHas("/b.txt", "second"); }));
    EXPECT_EQ(LiveRemoteFiles(), 2u);
}

}  // namespace
