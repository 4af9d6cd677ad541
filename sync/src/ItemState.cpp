#include "BrelioSync/ItemState.h"

#include "BrelioSync/FileTimes.h"

bool ItemState::SameAs(const ItemState& other) const {
    if (exists != other.exists) return false;
    if (!exists) return true;
    if (isFolder != other.isFolder) return false;
    return isFolder || (size == other.size && lastWrite == other.lastWrite);
}

bool ReadItemState(const wchar_t* path, ItemState& state) {
    state = ItemState();
    if (path == nullptr) return false;
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!::GetFileAttributesExW(path, GetFileExInfoStandard, &data)) {
        const DWORD error = ::GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    }
    state.exists = true;
    state.isFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    state.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    state.lastWrite = FileTimeToTicks(data.ftLastWriteTime);
    return true;
}
