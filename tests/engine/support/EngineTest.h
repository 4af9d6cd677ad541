#pragma once
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "BrelioCore/JXEvent.h"
#include "BrelioCore/UniqueHandle.h"
#include "BrelioServices/StorageRecords.h"
#include "BrelioServices/SyncFolderList.h"
#include "BrelioSync/FileSyncThread.h"
#include "BrelioSync/SyncManager.h"
#include "HeadlessHost.h"
#include "LocalDatabase.h"
#include "MessageView.h"
#include "StandinTest.h"

namespace brelio::test {

// The engine on the test's own thread: a real sync folder, a real database
// file, the stand-in's drive of the test's account, and message-only
// windows for the status panel and the main frame of the engine's host.
class EngineTest : public StandinTest, public LocalDatabaseFixture {
public:
    void SetUp() override;
    void TearDown() override;

    // A full path under the sync folder.
    std::wstring Local(const std::wstring& relative) const;
    void WriteLocal(const std::wstring& relative, const std::string& bytes);
    void MakeLocalFolder(const std::wstring& relative);

    // A row "in sync" for a remote item and the local item of that name: the
    // local file's time and size, the remote id, hash and revision.
    FileRecord SyncedRow(const Json::Value& remote, const std::wstring& relative);
    void RecordSynced(const Json::Value& remote, const std::wstring& relative);

    // Requests sent since the last ClearLog, as "METHOD path" texts.
    std::vector<std::string> RequestLines();
    size_t CountRequests(const std::string& method, const std::string& pathPart);
    // What the engine posted since the last call.
    std::vector<PostedMessage> Items() { return m_items.Drain(); }
    std::vector<PostedMessage> FrameMessages() { return m_frame.Drain(); }

    std::optional<ComInitScope> m_com;
    std::wstring m_root;
    CJXEvent m_stop{true, false, nullptr};
    CSyncFolderList m_selection;
    CMessageView m_items;
    CMessageView m_frame;
    CHeadlessHost m_host;
    CSyncManager& m_manager = m_host.GetSyncManager();
    CFileSyncThread m_engine;
};

std::string Base64(const std::string& bytes);
// A seed entry for a file with the given content.
Json::Value FileWithContent(const std::string& path, const std::string& content);

// The posted items of one kind whose path ends with the text.
size_t CountItems(const std::vector<PostedMessage>& items, int kind, const std::wstring& pathEnd);

}  // namespace brelio::test
