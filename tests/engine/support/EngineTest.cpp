#include "EngineTest.h"

#include "BrelioCore/TextConvert.h"
#include "BrelioSync/FileTimes.h"

namespace brelio::test {

void EngineTest::SetUp() {
    StandinTest::SetUp();
    // The sync thread runs in a single-threaded apartment; the recycle bin
    // needs one.
    m_com.emplace();
    ASSERT_TRUE(SUCCEEDED(m_com->Result()));
    m_root = m_folder / L"Sync";
    ASSERT_TRUE(::CreateDirectoryW(m_root.c_str(), nullptr));
    ASSERT_NO_FATAL_FAILURE(SetUpDatabase(m_folder.Path(), kLocalStorageMutexName));
    ASSERT_NE(m_items.GetViewWindow(), nullptr);
    m_manager.SetNotifyView(&m_items);
    m_host.SetMainFrame(&m_frame);
    SyncEnvironment environment;
    environment.syncRoot = m_root;
    environment.databasePath = m_database;
    environment.storageMutex = &m_mutex;
    environment.stopEvent = m_stop;
    environment.syncManager = &m_manager;
    environment.selectedFolders = &m_selection;
    m_engine.Configure(environment);
}

void EngineTest::TearDown() {
    m_host.SetMainFrame(nullptr);
    TearDownDatabase();
    m_com.reset();
    StandinTest::TearDown();
}

std::wstring EngineTest::Local(const std::wstring& relative) const { return m_root + L"\\" + relative; }

void EngineTest::WriteLocal(const std::wstring& relative, const std::string& bytes) {
    ASSERT_TRUE(WriteFileBytes(Local(relative), bytes));
}

void EngineTest::MakeLocalFolder(const std::wstring& relative) {
    ASSERT_TRUE(::CreateDirectoryW(Local(relative).c_str(), nullptr));
}

FileRecord EngineTest::SyncedRow(const Json::Value& remote, const std::wstring& relative) {
    FileRecord row;
    row.file_id = IdOf(remote);
    row.name = relative;
    row.is_folder = remote["type"].asString() != "file";
    row.hash = remote["hash"].asString();
    row.revision = std::stoull(remote["revision"].asString());
    row.version = remote["version"].asInt();
    row.status = FILE_STATUS_SYNCED;
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (::GetFileAttributesExW(Local(relative).c_str(), GetFileExInfoStandard, &data)) {
        row.last_write_time = FileTimeToTicks(data.ftLastWriteTime);
        row.size = row.is_folder ? 0 : (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    }
    return row;
}

void EngineTest::RecordSynced(const Json::Value& remote, const std::wstring& relative) {
    SeedRows({SyncedRow(remote, relative)});
}

std::vector<std::string> EngineTest::RequestLines() {
    std::vector<std::string> lines;
    for (const Json::Value& entry : Requests()) lines.push_back(entry["method"].asString() + " " + entry["path"].asString());
    return lines;
}

size_t EngineTest::CountRequests(const std::string& method, const std::string& pathPart) {
    size_t count = 0;
    for (const Json::Value& entry : Requests())
        if (entry["method"].asString() == method && entry["path"].asString().find(pathPart) != std::string::npos) ++count;
    return count;
}

std::string Base64(const std::string& bytes) {
    static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (size_t i = 0; i < bytes.size(); i += 3) {
        uint32_t chunk = static_cast<uint8_t>(bytes[i]) << 16;
        if (i + 1 < bytes.size()) chunk |= static_cast<uint8_t>(bytes[i + 1]) << 8;
        if (i + 2 < bytes.size()) chunk |= static_cast<uint8_t>(bytes[i + 2]);
        out += kDigits[(chunk >> 18) & 63];
        out += kDigits[(chunk >> 12) & 63];
        out += i + 1 < bytes.size() ? kDigits[(chunk >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? kDigits[chunk & 63] : '=';
    }
    return out;
}

Json::Value FileWithContent(const std::string& path, const std::string& content) {
    Json::Value item;
    item["path"] = path;
    item["type"] = "file";
    item["content"] = Base64(content);
    return item;
}

size_t CountItems(const std::vector<PostedMessage>& items, int kind, const std::wstring& pathEnd) {
    size_t count = 0;
    for (const PostedMessage& item : items) {
        if (item.what != 1 || item.kind != kind) continue;
        if (item.path.size() >= pathEnd.size() &&
            _wcsicmp(item.path.c_str() + item.path.size() - pathEnd.size(), pathEnd.c_str()) == 0)
            ++count;
    }
    return count;
}

}  // namespace brelio::test
