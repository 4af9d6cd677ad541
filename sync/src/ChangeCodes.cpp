#include "BrelioSync/ChangeCodes.h"

#include "BrelioServices/Log.h"

void LogChangeCode(uint32_t code, const wchar_t* path) {
    const wchar_t* format = nullptr;
    switch (code) {
    case CHANGE_NONE: format = L"%s - not modified."; break;
    case CHANGE_ADDED_LOCAL: format = L"%s - added(local)."; break;
    case CHANGE_ADDED_REMOTE: format = L"%s - added(remote)."; break;
    case CHANGE_MODIFIED_LOCAL: format = L"%s - modified(local)."; break;
    case CHANGE_MODIFIED_REMOTE: format = L"%s - modified(remote)."; break;
    case CHANGE_MODIFIED_BOTH: format = L"%s - modified(both)."; break;
    case CHANGE_REMOVED_LOCAL: format = L"%s - removed(local)."; break;
    case CHANGE_REMOVED_REMOTE: format = L"%s - removed(remote)."; break;
    case CHANGE_REMOVED_BOTH: format = L"%s - removed(both)."; break;
    case CHANGE_RENAMED_LOCAL: format = L"%s - renamed(local)."; break;
    case CHANGE_MOVED_REMOTE: format = L"%s - moved(remote)."; break;
    case CHANGE_MOVED_BOTH: format = L"%s - moved(both)."; break;
    case CHANGE_MODIFIED_REVISION: format = L"%s - modified(revision)."; break;
    case CHANGE_NO_STORAGE_ROW: format = L"%s - storage file not found."; break;
    case CHANGE_FAILED_LOCAL: format = L"%s - failed(local)."; break;
    case CHANGE_NAME_TAKEN: format = L"%s - name taken by another item."; break;
    default: return;
    }
    Log(format, path);
}
