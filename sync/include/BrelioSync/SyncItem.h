#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

// The message that carries sync items and the engine's requests to the
// user interface.
constexpr UINT WM_SYNCITEM = WM_APP + 10;
constexpr WPARAM SYNCITEM_ITEM = 1;          // lParam: CSyncItem*, owned by the receiver
constexpr WPARAM SYNCITEM_SIGN_OUT = 2;      // lParam: the session error, or 0
constexpr WPARAM SYNCITEM_SETTINGS = 3;      // lParam: 1 when the sync folder changed

enum SyncItemKind : int32_t {
    SYNC_ITEM_DONE = 0,
    SYNC_ITEM_FAILED = 1,
    SYNC_ITEM_IN_PROGRESS = 2,
    SYNC_ITEM_STATUS = 3,
};

// One line of the sync list, or one status message.
class CSyncItem {
public:
    static constexpr size_t kPathCapacity = MAX_PATH + 1;

    // A longer path keeps its first MAX_PATH characters.
    CSyncItem(const wchar_t* path, bool isFolder, int32_t kind);

    int32_t GetKind() const { return m_kind; }
    void SetKind(int32_t kind) { m_kind = kind; }
    bool IsFolder() const { return m_isFolder; }
    const wchar_t* GetPath() const { return m_path; }
    int64_t GetCreated() const { return m_created; }
    int32_t GetIconIndex() const { return m_iconIndex; }
    void SetIconIndex(int32_t index) { m_iconIndex = index; }
    std::wstring& GetDisplayText() { return m_displayText; }

private:
    int32_t m_kind;
    bool m_isFolder;
    wchar_t m_path[kPathCapacity] = {};
    int64_t m_created;
    int32_t m_iconIndex = -1;
    std::wstring m_displayText;
};
