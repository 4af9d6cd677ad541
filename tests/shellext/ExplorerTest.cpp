// The extension inside Explorer: these tests run in a copy of this program
// named explorer.exe, started by the AsExplorer tests below. Run directly,
// the ShellExtInsideExplorer tests are skipped.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlwapi.h>

#include <string>

#include "BrelioCore/TextConvert.h"
#include "BrelioServices/RegistryLayout.h"
#include "ShellExtTest.h"

using namespace brelio::test;

namespace {

constexpr wchar_t kRootA[] = L"C:\\SyncA";
constexpr wchar_t kStorageA[] = L"C:\\users\\me\\a.db";
constexpr wchar_t kRootB[] = L"C:\\SyncB";
constexpr wchar_t kStorageB[] = L"C:\\users\\me\\b.db";

bool ShellExtInsideExplorerProcess() {
    wchar_t path[MAX_PATH] = L"";
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    return ::StrCmpIW(::PathFindFileNameW(path), L"explorer.exe") == 0;
}

class ShellExtInsideExplorer : public ShellExtTest {
protected:
    void SetUp() override {
        if (!ShellExtInsideExplorerProcess()) GTEST_SKIP() << "runs in a copy named explorer.exe";
        ShellExtTest::SetUp();
    }
    void TearDown() override {
        if (ShellExtInsideExplorerProcess()) ShellExtTest::TearDown();
    }
};

// Runs one ShellExtInsideExplorer test in a copy of this program named
// explorer.exe.
ChildTestOutcome RunAsExplorer(const char* test) {
    return RunTestInCopy(L"explorer.exe", std::string("ShellExtInsideExplorer.") + test);
}

}  // namespace

TEST_F(ShellExtInsideExplorer, ASettingsChangeRereadsTheSettingsWithTheNextGeneration) {
    SetLogging(true);
    WriteAccountSettings(kRootA, kStorageA);
    const size_t logStart = ReadLogFile().size();
    auto handler = CreateHandler(*kHandlerClasses[0].clsid);
    ASSERT_TRUE(handler);
    ASSERT_EQ(handler->IsMemberOf(L"C:\\SyncA\\x.txt", 0), S_OK);
    EXPECT_EQ(LastCall().generation, 1);

    WriteAccountSettings(kRootB, kStorageB);
    ASSERT_EQ(handler->IsMemberOf(L"C:\\SyncA\\x.txt", 0), S_OK) << "kept until the program signals a change";
    EXPECT_STREQ(LastCall().root, kRootA);

    TouchSettingsChange();
    ASSERT_TRUE(Eventually([&] { return handler->IsMemberOf(L"C:\\SyncB\\y.txt", 0) == S_OK; }));
    const RecordedOverlayCall call = LastCall();
    EXPECT_STREQ(call.root, kRootB);
    EXPECT_STREQ(call.storage, kStorageB);
    EXPECT_STREQ(call.path, L"C:\\SyncB\\y.txt");
    EXPECT_EQ(call.generation, 2);

    const std::string log = ReadLogFile().substr(logStart);
    wchar_t loaded[MAX_PATH] = L"";
    ::GetModuleFileNameW(::GetModuleHandleW(m_extension.c_str()), loaded, MAX_PATH);
    const std::string extension = brelio::WideToAnsi(loaded);
    for (const std::string& line :
         {")\t[BrelioShellExt] " + extension + " loaded.\r\n", std::string(")\t[BrelioShellExt] RootDir: C:\\SyncA\r\n"),
          std::string(")\t[BrelioShellExt] LocalStoragePath: C:\\users\\me\\a.db\r\n"),
          std::string(")\t[BrelioShellExt] Settings changed.\r\n"),
          std::string(")\t[BrelioShellExt] RootDir: C:\\SyncB\r\n"),
          std::string(")\t[BrelioShellExt] LocalStoragePath: C:\\users\\me\\b.db\r\n")})
        EXPECT_NE(log.find(line), std::string::npos) << line << "\nin:\n" << log;
    EXPECT_LT(log.find("loaded."), log.find("Settings changed."));
}

TEST_F(ShellExtInsideExplorer, TheWatcherHoldsTheLibraryWhileItRuns) {
    WriteAccountSettings(kRootA, kStorageA);
    auto handler = CreateHandler(*kHandlerClasses[0].clsid);
    ASSERT_TRUE(handler);
    ASSERT_EQ(handler->IsMemberOf(L"C:\\SyncA\\x.txt", 0), S_OK);
    handler.Reset();
    EXPECT_EQ(CanUnloadNow(), S_FALSE) << "the settings watcher runs";
    ::CoFreeUnusedLibrariesEx(0, 0);
    ASSERT_TRUE(IsExtensionLoaded());

    // The watcher's code is still there to see the next change.
    TouchSettingsChange();
    handler = CreateHandler(*kHandlerClasses[0].clsid);
    ASSERT_TRUE(handler);
    ASSERT_TRUE(Eventually([&] {
        return handler->IsMemberOf(L"C:\\SyncA\\x.txt", 0) == S_OK && LastCall().generation == 2;
    }));
    handler.Reset();
    EXPECT_EQ(CanUnloadNow(), S_FALSE) << "the watcher runs until the process ends";
}

// Explorer lives on after a stack overflow inside the overlay library, and
// after the next one too: each finds the stack's guard page in place again.
TEST_F(ShellExtInsideExplorer, AStackOverflowInTheLibraryCostsOnlyThatItemsOverlay) {
    WriteAccountSettings(kRootA, kStorageA);
    auto handler = CreateHandler(*kHandlerClasses[0].clsid);
    ASSERT_TRUE(handler);
    ASSERT_EQ(handler->IsMemberOf(L"C:\\SyncA\\x.txt", 0), S_OK);
    for (int overflow = 1; overflow <= 3; ++overflow) {
        SCOPED_TRACE(overflow);
        SetAnswer(kRecordingStackOverflow);
        EXPECT_EQ(handler->IsMemberOf(L"C:\\SyncA\\deep.txt", 0), S_FALSE);
        SetAnswer(S_OK);
        EXPECT_TRUE(Eventually([&] { return handler->IsMemberOf(L"C:\\SyncA\\x.txt", 0) == S_OK; }));
    }
}

TEST(ShellExtAsExplorer, AStackOverflowInTheLibraryCostsOnlyThatItemsOverlay) {
    EXPECT_EQ(RunAsExplorer("AStackOverflowInTheLibraryCostsOnlyThatItemsOverlay"), ChildTestOutcome::Passed);
}

TEST(ShellExtAsExplorer, ASettingsChangeRereadsTheSettingsWithTheNextGeneration) {
    EXPECT_EQ(RunAsExplorer("ASettingsChangeRereadsTheSettingsWithTheNextGeneration"), ChildTestOutcome::Passed);
}

TEST(ShellExtAsExplorer, TheWatcherHoldsTheLibraryWhileItRuns) {
    EXPECT_EQ(RunAsExplorer("TheWatcherHoldsTheLibraryWhileItRuns"), ChildTestOutcome::Passed);
}

// A child ends with 0 also when it ran nothing or skipped what it was
// asked to run; only its report tells.
TEST(ShellExtAsExplorer, AChildThatRanNoTestHasNotPassed) {
    const struct {
        const wchar_t* program;
        const char* test;
        ChildTestOutcome outcome;
    } cases[] = {
        {L"explorer.exe", "ShellExtInsideExplorer.TheWatcherHoldsTheLibraryWhileItRuns", ChildTestOutcome::Passed},
        {L"explorer.exe", "ShellExtInsideExplorer.NoSuchTest", ChildTestOutcome::NotRun},
        {L"explorer.exe", "NoSuchSuite.TheWatcherHoldsTheLibraryWhileItRuns", ChildTestOutcome::NotRun},
        // Not inside Explorer: the test skips itself.
        {L"host.exe", "ShellExtInsideExplorer.TheWatcherHoldsTheLibraryWhileItRuns", ChildTestOutcome::Skipped},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.test);
        EXPECT_EQ(RunTestInCopy(c.program, c.test), c.outcome);
    }
}
