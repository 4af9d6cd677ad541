// The start-up look at the database after a writer was killed in the middle
// of a transaction: the journal it left is rolled back, and the file is
// taken for what it holds, never for someone else's because of the journal.
#include "BrelioServices/LocalStorageVersion.h"
#include "ChildProcess.h"
#include "StorageTest.h"

namespace brelio::test {
namespace {

using StartupCheck = StorageTest;

TEST_F(StartupCheck, AJournalLeftByAKilledWriterIsRolledBackAndTheFileJudgedByWhatItHolds) {
    struct Case {
        const char* what;
        const char* sql;  // run on a new database before the writer; nullptr: none
        StorageFileState state;
    };
    const Case cases[] = {
        {"ours", nullptr, StorageFileState::Current},
        {"of a newer version", "UPDATE config SET version=65540", StorageFileState::Foreign},
    };
    const std::wstring journal = m_database + L"-journal";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ResetDatabase();
        if (c.sql != nullptr) Sql(c.sql);
        SeedRows({FileRow(1, L"committed.txt")});

        CNamedEvent written;
        CChildProcess writer;
        ASSERT_TRUE(writer.Start({L"unfinished-write", m_database, written.Name()}));
        ASSERT_TRUE(written.Wait()) << "the writer is in the middle of its transaction";
        writer.Kill();
        ASSERT_TRUE(FileExists(journal)) << "the killed writer left its journal";

        StorageFileState state = StorageFileState::Missing;
        EXPECT_EQ(ReadLocalStorageState(m_mutex, m_database.c_str(), state), S_OK);
        EXPECT_EQ(state, c.state);
        EXPECT_FALSE(FileExists(journal)) << "rolled back";
        EXPECT_EQ(Names(), std::vector<std::wstring>{L"committed.txt"}) << "what was committed, and only that";
    }
}

}  // namespace
}  // namespace brelio::test
