// BrelioDrive.exe started again and again over a sync folder that was lost
// while it was off: the start that finds the folder gone (and makes it
// anew, empty), and the one that finds only what the user saved into it
// since. The drive never follows the folder to the trash.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <functional>
#include <string>

#include "BrelioServices/PathHelpers.h"
#include "BrelioServices/RegistryLayout.h"
#include "DriveProcess.h"
#include "DriveTree.h"
#include "Sha256.h"
#include "StandinTest.h"
#include "StoredSignIn.h"

namespace brelio::test {
namespace {

class ProgramSyncFolderLoss : public StandinTest {
protected:
    void SetUp() override {
        StandinTest::SetUp();
        m_root = m_folder / L"Drive";
        StoreSignIn(m_account, m_root);
        WriteSettingNumber(kEnableLoggingValue, 1);
        ::DeleteFileW(GetLogFilePath().c_str());
    }
    void TearDown() override {
        const std::wstring database = ReadSettingText(StoredAccountName(m_account), kLocalStorageValue);
        if (!database.empty()) ::DeleteFileW(database.c_str());
        RemoveSettings();
        StandinTest::TearDown();
    }

    // One start of the program, ended from its tray menu once `reached`
    // holds or the bound has passed; whether it held.
    bool StartUntil(const std::function<bool()>& reached) {
        CDriveProcess program(L"run");
        EXPECT_NE(program.Frame(), nullptr) << "the program signed in and runs";
        const ULONGLONG deadline = ::GetTickCount64() + kProgramWait;
        bool held = reached();
        while (!held && ::GetTickCount64() < deadline) {
            ::Sleep(100);
            held = reached();
        }
        program.Exit();
        EXPECT_EQ(program.ExitCode(), 1);
        if (!held) {
            // What the program did instead is in its log.
            const std::string log = ReadFileBytes(GetLogFilePath());
            std::printf("the program's log, to its end:\n%s\n", log.substr(log.size() > 6000 ? log.size() - 6000 : 0).c_str());
        }
        return held;
    }

    DriveTree Drive() const { return RemoteTree(m_account.session); }
    static bool LogSays(const char* text) { return ReadFileBytes(GetLogFilePath()).find(text) != std::string::npos; }

    std::wstring m_root;
};

TEST_F(ProgramSyncFolderLoss, TheDriveStaysAndComesBackAndWhatWasSavedGoesUp) {
    Json::Value items(Json::arrayValue);
    for (const char* folder : {"/docs", "/docs/plans", "/photos", "/music"}) items.append(FolderItem(folder));
    for (const char* file : {"/top.txt", "/readme.md", "/docs/a.txt", "/docs/b.txt", "/docs/plans/q1.txt",
                             "/docs/plans/q2.txt", "/photos/1.jpg", "/photos/2.jpg", "/photos/3.jpg", "/music/x.mp3",
                             "/music/y.mp3", "/notes.txt"})
        items.append(FileItem(file, 300 + items.size()));
    Seed(items);
    const DriveTree drive = Drive();
    ASSERT_EQ(drive.size(), 16u);
    ASSERT_TRUE(StartUntil([&] { return LocalTree(m_root) == drive; })) << "the first start synced the drive";

    // Deleted while the program is off.
    RemoveTree(m_root);
    ASSERT_FALSE(FileExists(m_root));
    EXPECT_TRUE(StartUntil([] { return LogSays("nothing was deleted"); })) << "the walk refused the folder";
    EXPECT_TRUE(LocalTree(m_root).empty()) << "the folder was made anew, empty";
    EXPECT_EQ(TreeDifference(drive, Drive()), "") << "an empty folder deletes nothing";

    // The user saves one file into the empty folder before the next start.
    ASSERT_TRUE(WriteFileBytes(m_root + L"\\saved.txt", "saved into the empty folder"));
    DriveTree expected = drive;
    expected["saved.txt"] = Sha256Hex("saved into the empty folder");
    StartUntil([&] { return Drive() == expected && LocalTree(m_root) == expected; });
    EXPECT_EQ(TreeDifference(expected, Drive()), "") << "nothing went to the trash, the new file went up";
    EXPECT_EQ(TreeDifference(expected, LocalTree(m_root)), "") << "the drive's items came back";

    // That walk succeeded: from now on a missing item is a deletion again.
    ASSERT_TRUE(::DeleteFileW((m_root + L"\\top.txt").c_str()));
    EraseFromTree(expected, "top.txt");
    StartUntil([&] { return Drive() == expected; });
    EXPECT_EQ(TreeDifference(expected, Drive()), "");
    EXPECT_EQ(TreeDifference(expected, LocalTree(m_root)), "");
}

}  // namespace
}  // namespace brelio::test
