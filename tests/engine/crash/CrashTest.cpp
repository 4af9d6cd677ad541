// The engine killed at a seeded random instant of a pass, restarted, and
// run until it settles: the folder and the drive must agree, hold the tree
// the batch of changes asked for, and hold nothing the kill left behind.
//
// Each seed draws its plan (which transfer the stand-in holds in flight,
// when the kill comes, whether a second kill hits the first pass after the
// restart). A failure names the seed and the instants; to run it again:
//   BRELIO_CRASH_SEED=<seed> ctest -R CrashRecovery.RequestedSeeds
// More seeds than the few of the default run:
//   BRELIO_CRASH_SEEDS=<count> (seeds 1 to count) or <first>-<last>
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "BrelioCore/TextConvert.h"
#include "BrelioServices/NamedMutex.h"
#include "BrelioServices/PathHelpers.h"
#include "BrelioServices/RegistryLayout.h"
#include "BrelioServices/SQLiteConnection.h"
#include "BrelioSync/IgnoreScope.h"
#include "BrelioSync/SyncItem.h"
#include "CrashBatch.h"
#include "DriveTree.h"
#include "DriverProcess.h"
#include "DriverTest.h"
#include "EngineTest.h"
#include "Seeds.h"

using namespace brelio::test;

namespace {

// Beyond the hold of a transfer: the rest of a pass of the batch, about a
// second here, and its recording. A kill counted from a held transfer's
// start or from the pass request falls anywhere in that, or just after.
constexpr DWORD kBeyondHoldMs = 1500;
constexpr DWORD kLongWaitMs = 120000;

// A transfer of the batch that the stand-in holds back before carrying it
// out, so that a kill finds it in flight.
struct HeldTransfer {
    const char* what;
    const char* method;
    const char* path;  // the item, as in the batch
    bool download;
};

constexpr HeldTransfer kHeldTransfers[] = {
    {"the upload of the local edit of big.bin", "POST", "big.bin", false},
    {"the download of remote-new.bin", "GET", "remote-new.bin", true},
    {"the download of the remote edit of media/clip.bin", "GET", "media/clip.bin", true},
};

// When and how the driver is killed, all drawn from the seed.
struct KillPlan {
    uint32_t seed = 0;
    const HeldTransfer* held = nullptr;
    DWORD holdMs = 0;
    bool fromTransfer = false;  // else from the pass request
    DWORD killMs = 0;
    bool secondKill = false;
    DWORD secondKillMs = 0;

    std::string Describe() const {
        std::string text = "seed " + std::to_string(seed) + ": " + held->what + " held " + std::to_string(holdMs) +
                           " ms; killed " + std::to_string(killMs) + " ms after " +
                           (fromTransfer ? "that transfer started" : "the pass was requested");
        if (secondKill)
            text += "; killed again " + std::to_string(secondKillMs) + " ms after the first pass after the restart was requested";
        return text + " (BRELIO_CRASH_SEED=" + std::to_string(seed) + " runs it again)";
    }
};

KillPlan PlanFor(uint32_t seed) {
    std::mt19937 random(seed);
    KillPlan plan;
    plan.seed = seed;
    // The few seeds of the default run cover every held transfer, both
    // ways of counting the instant, and single and double kills.
    plan.held = &kHeldTransfers[seed % 3];
    plan.fromTransfer = seed % 2 == 1;
    plan.secondKill = seed % 4 == 0 || seed % 4 == 3;
    plan.holdMs = 800 + random() % 1200;
    plan.killMs = random() % (plan.holdMs + kBeyondHoldMs);
    plan.secondKillMs = random() % (plan.holdMs + kBeyondHoldMs);
    return plan;
}

std::wstring RowName(const std::string& path) {
    std::wstring name = brelio::Utf8ToWide(path);
    for (wchar_t& c : name)
        if (c == L'/') c = L'\\';
    return name;
}

std::string Joined(const std::vector<std::string>& items) {
    std::string text;
    for (const std::string& item : items) text += "  " + item + "\n";
    return text;
}

// Failures of the running test so far, so that each seed of a run of
// several knows its own.
int FailureCount() {
    const ::testing::TestResult* result = ::testing::UnitTest::GetInstance()->current_test_info()->result();
    int failures = 0;
    for (int i = 0; i < result->total_part_count(); ++i) failures += result->GetTestPartResult(i).failed() ? 1 : 0;
    return failures;
}

bool IsEvent(const Json::Value& line, const char* name) {
    return line.isObject() && line["event"].asString() == name;
}

class CrashRecovery : public DriverTest {
protected:
    void SetUp() override {
        DriverTest::SetUp();
        // The engine's log tells what happened around a kill.
        const DWORD on = 1;
        ::RegSetKeyValueW(HKEY_CURRENT_USER, kSettingsKeyPath, kEnableLoggingValue, REG_DWORD, &on, sizeof(on));
        ASSERT_EQ(m_mutex.Create(kLocalStorageMutexName), S_OK);
    }

    void RunSeed(uint32_t seed);

private:
    void SeedStart();
    void CarryOut(const BatchStep& step);
    // Until the storage-update thread has recorded every local change of
    // the batch (a file inside a folder made by the batch goes up with the
    // folder), or for a while at most.
    void WaitUntilRecorded();
    void HoldTransfer(const KillPlan& plan);
    // Requests a partial pass and kills the driver at the instant; the
    // anchor, when given, is the item path ending the instant counts from.
    void KillDuringPass(CDriverProcess& driver, const std::wstring& anchor, DWORD killMs);
    void CheckOutcome();
    std::wstring Local(const std::string& path) const { return m_root + L"\\" + RowName(path); }

    CNamedMutex m_mutex;
    std::map<std::string, uint64_t> m_ids;
};

void CrashRecovery::SeedStart() {
    Json::Value items(Json::arrayValue);
    for (const BatchStep& step : StartSteps())
        items.append(step.kind == StepKind::MakeFolder ? FolderItem("/" + step.path)
                     : step.text.empty()                ? FileItem("/" + step.path, step.size)
                                                        : FileWithContent("/" + step.path, ContentOf(step)));
    for (const Json::Value& item : Seed(items)) {
        std::string path = item["path"].asString();
        m_ids[path.substr(1)] = IdOf(item);
    }
}

void CrashRecovery::CarryOut(const BatchStep& step) {
    if (step.side == Side::Remote) {
        Json::Value change;
        change["path"] = "/" + step.path;
        switch (step.kind) {
            case StepKind::MakeFolder: change["op"] = "mkdir"; break;
            case StepKind::Write:
                change["op"] = "upload";
                if (step.text.empty())
                    change["size"] = static_cast<Json::UInt64>(step.size);
                else
                    change["content"] = Base64(ContentOf(step));
                break;
            case StepKind::Rename:
                change["op"] = "rename";
                change["newName"] = step.text;
                break;
            case StepKind::Delete: change["op"] = "trash"; break;
        }
        const Json::Value item = Remote(change);
        ASSERT_TRUE(item.isObject()) << "remote change of " << step.path;
        m_ids[step.path] = IdOf(item);
        return;
    }
    const std::wstring full = Local(step.path);
    switch (step.kind) {
        case StepKind::MakeFolder: ASSERT_TRUE(::CreateDirectoryW(full.c_str(), nullptr)) << step.path; break;
        case StepKind::Write: ASSERT_TRUE(WriteFileBytes(full, ContentOf(step))) << step.path; break;
        case StepKind::Rename: ASSERT_TRUE(::MoveFileW(full.c_str(), Local(RenamedPath(step)).c_str())) << step.path; break;
        case StepKind::Delete: ASSERT_TRUE(::DeleteFileW(full.c_str())) << step.path; break;
    }
}

void CrashRecovery::WaitUntilRecorded() {
    struct Expected {
        std::wstring name;
        int action;  // 0: added or modified
    };
    std::vector<Expected> expected;
    std::vector<std::string> madeFolders;
    for (const BatchStep& step : BatchSteps()) {
        if (step.side != Side::Local) continue;
        bool insideNew = false;
        for (const std::string& folder : madeFolders) insideNew = insideNew || ParentOf(step.path) == folder;
        if (step.kind == StepKind::MakeFolder) madeFolders.push_back(step.path);
        if (insideNew) continue;
        switch (step.kind) {
            case StepKind::MakeFolder:
            case StepKind::Write: expected.push_back({RowName(step.path), 0}); break;
            case StepKind::Rename: expected.push_back({RowName(RenamedPath(step)), CHANGE_ACTION_RENAMED}); break;
            case StepKind::Delete: expected.push_back({RowName(step.path), CHANGE_ACTION_REMOVED}); break;
        }
    }
    std::vector<std::wstring> missing;
    const ULONGLONG deadline = ::GetTickCount64() + 15000;
    do {
        ChangeRecordList rows;
        {
            CNamedMutexLock lock(&m_mutex);
            try {
                CSQLiteConnection db;
                db.Open(m_database.c_str(), OpenMode::ReadOnly);
                db.ReadChanges(rows);
            } catch (int) {
                rows.clear();
            }
        }
        missing.clear();
        for (const Expected& want : expected) {
            bool found = false;
            for (const ChangeRecord& row : rows) {
                if (_wcsicmp(row.name.c_str(), want.name.c_str()) != 0) continue;
                found = found || (want.action == 0 ? row.action == CHANGE_ACTION_ADDED || row.action == CHANGE_ACTION_MODIFIED
                                                   : row.action == want.action);
            }
            if (!found) missing.push_back(want.name);
        }
        if (!missing.empty()) ::Sleep(50);
    } while (!missing.empty() && ::GetTickCount64() < deadline);
    // A change the monitor missed is found by the full sync after the
    // restart, so the run goes on.
    std::string names;
    for (const std::wstring& name : missing) names += " " + brelio::WideToUtf8(name);
    if (!missing.empty()) std::printf("note: the monitor did not report the local changes of%s\n", names.c_str());
}

void CrashRecovery::HoldTransfer(const KillPlan& plan) {
    const uint64_t id = m_ids[plan.held->path];
    Json::Value fault;
    fault["method"] = plan.held->method;
    fault["path"] = "^/files/" + std::to_string(id) + (plan.held->download ? "\\?media=raw" : "/update");
    fault["delayMs"] = static_cast<Json::UInt>(plan.holdMs);
    AddFault(fault);
}

void CrashRecovery::KillDuringPass(CDriverProcess& driver, const std::wstring& anchor, DWORD killMs) {
    ASSERT_TRUE(driver.Send("partial\n"));
    ASSERT_TRUE(driver.WaitForLine([](const Json::Value& line) { return IsEvent(line, "partial-requested"); },
                                   kLongWaitMs));
    if (!anchor.empty()) {
        const bool seen = driver.WaitForLine(
            [&](const Json::Value& line) {
                if (IsEvent(line, "pass-end")) return true;
                const Json::Value& item = line["item"];
                if (!item.isObject() || item["kind"].asInt() != SYNC_ITEM_IN_PROGRESS) return false;
                const std::wstring path = brelio::Utf8ToWide(item["path"].asString());
                return path.size() >= anchor.size() && path.compare(path.size() - anchor.size(), anchor.size(), anchor) == 0;
            },
            kLongWaitMs);
        ASSERT_TRUE(seen) << "the pass neither started the held transfer nor ended";
    }
    driver.Collect(killMs);
    driver.Kill();
}

void CrashRecovery::CheckOutcome() {
    const DriveTree local = LocalTree(m_root);
    const DriveTree remote = RemoteTree(m_account.session);
    const DriveTree expected = TreeAfter(BatchSteps(), TreeAfter(StartSteps()));

    EXPECT_EQ(Joined(TemporaryItems(local)), "") << "temporary files in the sync folder";
    EXPECT_EQ(Joined(TemporaryItems(remote)), "") << "temporary files on the drive";
    EXPECT_EQ(Joined(IdenticalConflictCopies(local)), "") << "conflict copies identical to their original, here";
    EXPECT_EQ(Joined(IdenticalConflictCopies(remote)), "") << "conflict copies identical to their original, on the drive";

    // What the batch alone makes: its own files where they end up.
    std::vector<std::string> lost;
    for (const auto& [path, hash] : TreeAfter(BatchSteps())) {
        if (hash == kFolderMark) continue;
        const auto here = local.find(path);
        const auto there = remote.find(path);
        if (here == local.end() || here->second != hash || there == remote.end() || there->second != hash)
            lost.push_back(path);
    }
    EXPECT_EQ(Joined(lost), "") << "contents the batch created or edited, not where they belong on both sides";

    EXPECT_EQ(TreeDifference(remote, local), "") << "the sync folder against the drive";
    EXPECT_EQ(TreeDifference(expected, local), "") << "the sync folder against the tree the batch asked for";
}

void CrashRecovery::RunSeed(uint32_t seed) {
    const KillPlan plan = PlanFor(seed);
    SCOPED_TRACE(plan.Describe());
    // The engine's log of a failed run, however it ended.
    struct LogOnFailure {
        std::string plan;
        std::wstring path = GetLogFilePath();
        int failuresBefore = FailureCount();
        ~LogOnFailure() {
            if (FailureCount() == failuresBefore) return;
            std::printf("--- engine log of %s\n%s--- end of the engine log\n", plan.c_str(), ReadFileBytes(path).c_str());
        }
    } log{plan.Describe()};
    ::DeleteFileW(log.path.c_str());
    m_ids.clear();

    SeedStart();
    {
        CDriverProcess driver;
        StartEngine(driver);
        if (HasFatalFailure()) return;
        // The synced start comes once the monitor watches.
        WaitUntilWatching();
        ASSERT_TRUE(driver.Send("full\nwait\n"));
        ASSERT_TRUE(driver.WaitForLine([](const Json::Value& line) { return IsEvent(line, "idle"); }, kLongWaitMs));
        ASSERT_EQ(TreeDifference(TreeAfter(StartSteps()), LocalTree(m_root)), "") << "the synced start";
        // The engine masks the paths it wrote for a while after the pass:
        // the user's edits come after that, as they would.
        ::Sleep(2 * CIgnoreScope::kReleaseDelay);

        for (const BatchStep& step : BatchSteps()) {
            CarryOut(step);
            if (HasFatalFailure()) return;
        }
        WaitUntilRecorded();
        if (HasFatalFailure()) return;
        HoldTransfer(plan);
        const std::wstring anchor = plan.fromTransfer ? L"\\" + RowName(plan.held->path) : std::wstring();
        KillDuringPass(driver, anchor, plan.killMs);
        if (HasFatalFailure()) return;
    }
    if (plan.secondKill) {
        HoldTransfer(plan);
        CDriverProcess driver;
        StartEngine(driver);
        if (HasFatalFailure()) return;
        KillDuringPass(driver, std::wstring(), plan.secondKillMs);
        if (HasFatalFailure()) return;
    }
    ClearFaults();
    {
        CDriverProcess driver;
        StartEngine(driver);
        if (HasFatalFailure()) return;
        ASSERT_TRUE(driver.Send("partial\nwait\npartial\nwait\nfull\nwait\npartial\nwait\nquit\n"));
        ASSERT_TRUE(driver.Finish(300000)) << "the passes after the restart ended";
        EXPECT_TRUE(Event(driver.Lines(), "error").isNull());
    }
    CheckOutcome();
}

std::vector<uint32_t> RequestedSeeds() { return SeedsFromEnvironment("BRELIO_CRASH_SEED", "BRELIO_CRASH_SEEDS"); }

class CrashRecoverySeeds : public CrashRecovery, public ::testing::WithParamInterface<uint32_t> {};

TEST_P(CrashRecoverySeeds, KilledDuringAPassAndRestartedLosesNothingAndLeavesNothing) { RunSeed(GetParam()); }

// Seeds 1 to 4: each held transfer, both ways of counting the instant,
// single and double kills.
INSTANTIATE_TEST_SUITE_P(Seeds, CrashRecoverySeeds, ::testing::Values(1u, 2u, 3u, 4u),
                         [](const auto& info) { return "Seed" + std::to_string(info.param); });

TEST_F(CrashRecovery, RequestedSeeds) {
    const std::vector<uint32_t> seeds = RequestedSeeds();
    if (seeds.empty()) GTEST_SKIP() << "no BRELIO_CRASH_SEED or BRELIO_CRASH_SEEDS given";
    for (size_t i = 0; i < seeds.size(); ++i) {
        if (i > 0) UseNewAccount(L"Drive" + std::to_wstring(seeds[i]));
        if (HasFatalFailure()) return;
        RunSeed(seeds[i]);
    }
}

}  // namespace
