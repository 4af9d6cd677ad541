#include "StorageTest.h"

#include "ChildProcess.h"

namespace brelio::test {

void StorageTest::SetUp() {
    ASSERT_TRUE(m_folder.Create());
    m_root = m_folder / L"Sync";
    ASSERT_TRUE(::CreateDirectoryW(m_root.c_str(), nullptr));
    m_mutexName = UniqueName(L"BrelioStorageTestMutex");
    ASSERT_NO_FATAL_FAILURE(SetUpDatabase(m_folder.Path(), m_mutexName.c_str()));
}

void StorageTest::TearDown() { TearDownDatabase(); }

}  // namespace brelio::test
