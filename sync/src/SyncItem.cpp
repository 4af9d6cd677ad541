#include "BrelioSync/SyncItem.h"

#include <ctime>

CSyncItem::CSyncItem(const wchar_t* path, bool isFolder, int32_t kind)
    : m_kind(kind), m_isFolder(isFolder), m_created(_time64(nullptr)) {
    // A plain character cut, as the list shows the path: no pair logic.
    size_t i = 0;
    for (; path != nullptr && i < MAX_PATH && path[i] != L'\0'; ++i) m_path[i] = path[i];
    m_path[i] = L'\0';
}
