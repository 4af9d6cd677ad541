#include "DatabaseDump.h"

#include <string>

#include "BrelioServices/NamedMutex.h"
#include "BrelioServices/SQLiteConnection.h"
#include "BrelioServices/SQLiteStatement.h"
#include "JsonLine.h"

HRESULT DumpFileRows(CNamedMutex& storageMutex, const wchar_t* databasePath) {
    CNamedMutexLock lock(&storageMutex);
    if (!lock.IsHeld()) return E_FAIL;
    try {
        CSQLiteConnection db;
        db.Open(databasePath, OpenMode::ReadOnly);
        CSQLiteStatement statement;
        db.Prepare(L"SELECT file_id, name, is_folder, size, hash, revision, status FROM file ORDER BY name", statement);
        while (statement.Step()) {
            std::wstring name;
            std::string hash;
            statement.ColumnText(1, name, MAX_PATH);
            statement.ColumnText(4, hash, 256);
            WriteJsonLine("{\"row\":{\"id\":\"" + std::to_string(statement.ColumnInt64(0)) + "\",\"name\":" +
                          JsonText(name) + ",\"folder\":" + (statement.ColumnInt(2) ? "true" : "false") +
                          ",\"size\":" + std::to_string(statement.ColumnInt64(3)) + ",\"hash\":" + JsonText(hash) +
                          ",\"revision\":\"" + std::to_string(statement.ColumnInt64(5)) +
                          "\",\"status\":" + std::to_string(statement.ColumnInt(6)) + "}}");
        }
    } catch (int code) {
        return HRESULT_FROM_WIN32(ERROR_DATABASE_FAILURE);
    }
    return S_OK;
}
