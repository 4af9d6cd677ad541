#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "BrelioCore/UniqueHandle.h"
#include "BrelioSync/ChangeCodes.h"
#include "BrelioSync/FileTimes.h"
#include "EngineTest.h"

using namespace brelio::test;

namespace {

constexpr uint64_t kId = 41;

ChangeInfo RemoteChange(const char* type, uint64_t id, const wchar_t* path, bool isFile = true) {
    ChangeInfo change;
    change.changeType = type;
    change.file.id = id;
    change.file.path = path;
    change.file.type = isFile ? "file" : "folder";
    change.file.hash = "h1";
    change.file.revision = 5;
    return change;
}

struct LocalCase {
    const char* name;
    int32_t action;
    uint64_t fileId;
    const char* remoteType;  // null: no remote change of the item
    uint32_t code;
    bool matched;
};

class ReconcileClassify : public EngineTest {};

TEST_F(ReconcileClassify, LocalChangeTable) {
    const LocalCase cases[] = {
        {"added", CHANGE_ACTION_ADDED, 0, nullptr, CHANGE_ADDED_LOCAL, false},
        {"added, remote too", CHANGE_ACTION_ADDED, kId, "updated", CHANGE_MODIFIED_LOCAL, false},
        {"removed", CHANGE_ACTION_REMOVED, kId, nullptr, CHANGE_REMOVED_LOCAL, false},
        {"removed both", CHANGE_ACTION_REMOVED, kId, "deleted", CHANGE_REMOVED_BOTH, true},
        {"removed, remote updated", CHANGE_ACTION_REMOVED, kId, "updated", CHANGE_MODIFIED_REMOTE, false},
        {"modified, no row", CHANGE_ACTION_MODIFIED, 0, nullptr, CHANGE_ADDED_LOCAL, false},
        {"modified", CHANGE_ACTION_MODIFIED, kId, nullptr, CHANGE_MODIFIED_LOCAL, false},
        {"modified both", CHANGE_ACTION_MODIFIED, kId, "updated", CHANGE_MODIFIED_BOTH, true},
        {"modified, remote deleted", CHANGE_ACTION_MODIFIED, kId, "deleted", CHANGE_REMOVED_REMOTE, false},
        {"renamed", CHANGE_ACTION_RENAMED, kId, nullptr, CHANGE_RENAMED_LOCAL, false},
        {"renamed, remote changed", CHANGE_ACTION_RENAMED, kId, "updated", CHANGE_MOVED_BOTH, true},
        {"unknown action", 9, kId, "updated", CHANGE_MODIFIED_LOCAL, false},
    };
    for (const LocalCase& c : cases) {
        SCOPED_TRACE(c.name);
        ChangeRecord record;
        record.name = L"a.txt";
        record.action = c.action;
        record.file_id = c.fileId;
        if (c.action == CHANGE_ACTION_RENAMED) record.old_name = L"old.txt";
        ChangeInfoList remote;
        remote.push_back(RemoteChange("updated", 99, L"/elsewhere.txt"));
        if (c.remoteType != nullptr) remote.push_back(RemoteChange(c.remoteType, kId, L"/a.txt"));
        ChangeInfo* matched = nullptr;
        EXPECT_EQ(m_engine.ClassifyLocalChange(record, remote, matched), c.code);
        if (c.matched) {
            ASSERT_NE(matched, nullptr);
            EXPECT_EQ(matched->file.id, kId);
        } else {
            EXPECT_EQ(matched, nullptr);
        }
    }
}

enum class Local { Missing, Same, Edited, EditedAndHeldOpen };

struct RemoteCase {
    const char* name;
    const char* changeType;
    bool isFile;
    int rowStatus;  // 0: no row
    Local local;
    const char* remoteHash;
    uint64_t remoteRevision;
    uint32_t code;
};

TEST_F(ReconcileClassify, RemoteChangeTable) {
    const RemoteCase cases[] = {
        {"neither updated nor deleted", "restored", true, 1, Local::Same, "h1", 5, CHANGE_NONE},
        {"deleted with a row", "deleted", true, 1, Local::Same, "h1", 6, CHANGE_REMOVED_REMOTE},
        {"deleted without a row", "deleted", true, 0, Local::Missing, "h1", 6, CHANGE_NO_STORAGE_ROW},
        {"new", "updated", true, 0, Local::Missing, "h1", 6, CHANGE_ADDED_REMOTE},
        {"moved", "updated", true, 1, Local::Missing, "h1", 6, CHANGE_MOVED_REMOTE},
        {"moved, changed here", "updated", true, 2, Local::Missing, "h1", 6, CHANGE_MOVED_BOTH},
        {"to transfer again", "updated", true, 6, Local::Missing, "h1", 6, CHANGE_MODIFIED_REMOTE},
        {"failed here", "updated", true, 7, Local::Missing, "h1", 6, CHANGE_FAILED_LOCAL},
        {"edited on both sides", "updated", true, 1, Local::Edited, "h2", 6, CHANGE_MODIFIED_BOTH},
        {"edited on both sides, held open here", "updated", true, 1, Local::EditedAndHeldOpen, "h2", 6,
         CHANGE_MODIFIED_BOTH},
        {"edited remotely", "updated", true, 1, Local::Same, "h2", 6, CHANGE_MODIFIED_REMOTE},
        {"unchanged", "updated", true, 1, Local::Same, "h1", 5, CHANGE_NONE},
        {"new revision, same content", "updated", true, 1, Local::Same, "h1", 6, CHANGE_MODIFIED_REVISION},
        {"folder unchanged", "updated", false, 1, Local::Same, "", 5, CHANGE_NONE},
        {"folder, new revision", "updated", false, 1, Local::Same, "", 6, CHANGE_MODIFIED_REVISION},
    };
    int round = 0;
    for (const RemoteCase& c : cases) {
        SCOPED_TRACE(c.name);
        const uint64_t id = 100 + round;
        const std::wstring name = L"item" + std::to_wstring(round++);
        if (c.local != Local::Missing) {
            if (c.isFile)
                WriteLocal(name, "content");
            else
                MakeLocalFolder(name);
        }
        if (c.rowStatus != 0) {
            FileRecord row = c.isFile ? FileRow(id, name.c_str(), c.rowStatus, 5, "h1")
                                      : FolderRow(id, name.c_str(), c.rowStatus);
            row.revision = 5;
            WIN32_FILE_ATTRIBUTE_DATA data = {};
            if (::GetFileAttributesExW(Local(name).c_str(), GetFileExInfoStandard, &data)) {
                row.last_write_time = FileTimeToTicks(data.ftLastWriteTime);
                row.size = c.isFile ? data.nFileSizeLow : 0;
            }
            SeedRows({row});
        }
        if (c.local == Local::Edited || c.local == Local::EditedAndHeldOpen) WriteLocal(name, "content edited here");
        // An editor that keeps the file open, sharing nothing.
        brelio::UniqueKernelHandle held(c.local == Local::EditedAndHeldOpen
                                            ? ::CreateFileW(Local(name).c_str(), GENERIC_READ, 0, nullptr,
                                                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)
                                            : nullptr);
        ChangeInfo change = RemoteChange(c.changeType, id, (L"/" + name).c_str(), c.isFile);
        change.file.hash = c.remoteHash;
        change.file.revision = c.remoteRevision;
        std::wstring full = c.rowStatus != 0 && std::string(c.changeType) == "deleted" ? L"" : Local(name);
        EXPECT_EQ(m_engine.ClassifyRemoteChange(full, change), c.code);
        if (c.code == CHANGE_REMOVED_REMOTE) {
            EXPECT_EQ(full, Local(name)) << "the stored path";
        }
    }
}

}  // namespace
