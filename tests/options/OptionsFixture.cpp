#include "OptionsFixture.h"

#include "BrelioApp/DriveApp.h"
#include "BrelioServices/GlobalSettings.h"
#include "BrelioServices/RegistryLayout.h"
#include "BrelioSync/SyncItem.h"
#include "ProgramKeys.h"

namespace brelio::test {
namespace {

constexpr wchar_t kFrameClass[] = L"BrelioTest.RecordingFrame";

std::wstring Widen(const std::string& text) { return std::wstring(text.begin(), text.end()); }

HTREEITEM Next(HWND tree, HTREEITEM item, UINT relation) {
    return reinterpret_cast<HTREEITEM>(::SendMessageW(tree, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
}

std::wstring ItemText(HWND tree, HTREEITEM item) {
    wchar_t text[261] = L"";
    TVITEMW info = {};
    info.mask = TVIF_TEXT;
    info.hItem = item;
    info.pszText = text;
    info.cchTextMax = 261;
    ::SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&info));
    return text;
}

void CollectTexts(HWND tree, HTREEITEM first, const std::wstring& parent, std::vector<std::wstring>& out) {
    for (HTREEITEM item = first; item != nullptr; item = Next(tree, item, TVGN_NEXT)) {
        const std::wstring path = parent.empty() ? ItemText(tree, item) : parent + L"\\" + ItemText(tree, item);
        out.push_back(path);
        CollectTexts(tree, Next(tree, item, TVGN_CHILD), path, out);
    }
}

}  // namespace

CRecordingFrame::CRecordingFrame() {
    WNDCLASSW info = {};
    info.lpfnWndProc = FrameProc;
    info.hInstance = ::GetModuleHandleW(nullptr);
    info.lpszClassName = kFrameClass;
    ::RegisterClassW(&info);
    m_window = ::CreateWindowExW(0, kFrameClass, L"frame", WS_POPUP | WS_CAPTION, 0, 0, 200, 100, nullptr, nullptr,
                                 ::GetModuleHandleW(nullptr), this);
}

CRecordingFrame::~CRecordingFrame() {
    if (m_window != nullptr) ::DestroyWindow(m_window);
}

LRESULT CALLBACK CRecordingFrame::FrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        ::SetWindowLongPtrW(window, GWLP_USERDATA,
                            reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
    }
    auto* self = reinterpret_cast<CRecordingFrame*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_SYNCITEM && self != nullptr) {
        self->received.emplace_back(wParam, lParam);
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

OptionsTest::OptionsTest()
    : m_settings(CDriveApp::GetInstance()->GetSettings()), m_program(*CDriveApp::GetInstance()) {}

void OptionsTest::SetUp() {
    StandinTest::SetUp();
    DeleteProgramKeys();
    // The settings object lives as long as the process: what an earlier
    // test left in it goes first.
    m_settings.ClearFirstRun();
    ASSERT_EQ(m_settings.SetAutoLogin(false), ERROR_SUCCESS);
    SetAutoStart(false);
    m_root = m_folder / L"root";
    ASSERT_TRUE(::CreateDirectoryW(m_root.c_str(), nullptr));
    SignIn(L"user", m_root);
    CDriveApp::GetInstance()->SetMainFrame(&m_frame);
}

void OptionsTest::TearDown() {
    CDriveApp::GetInstance()->SetMainFrame(nullptr);
    EXPECT_TRUE(m_script.Unexpected().empty()) << "unexpected dialog: " << testing::PrintToString(m_script.Unexpected());
    (void)m_settings.SetAccount(nullptr, nullptr);
    DeleteProgramKeys();
    StandinTest::TearDown();
}

void OptionsTest::SignIn(const std::wstring& member, const std::wstring& root) {
    const std::wstring tenant = Widen(m_account.tenant);
    ASSERT_EQ(m_settings.SetAccount(tenant.c_str(), member.c_str()), ERROR_SUCCESS);
    WriteRawString(AccountKey(), kRootDirValue, root);
    ASSERT_EQ(m_settings.LoadAccount(), S_OK);
    ASSERT_EQ(m_settings.GetRootDir(), root);
}

void OptionsTest::StoreSelection(const std::vector<std::pair<std::wstring, uint64_t>>& entries) {
    CSyncFolderList list;
    for (const auto& [path, id] : entries) list.Add(path.c_str(), id);
    ASSERT_EQ(m_settings.SetSyncFolders(list), S_OK);
}

std::wstring OptionsTest::AccountKey() const {
    return std::wstring(kSettingsKeyPath) + L"\\" + m_settings.GetAccount();
}

std::vector<std::wstring> OptionsTest::StoredSelection() const {
    std::vector<std::wstring> entries;
    const RawValue flag = ReadRaw(AccountKey(), kSyncFolderValue);
    if (flag.type != REG_DWORD || flag.bytes.size() != 4 || flag.bytes[0] != 1) return entries;
    brelio::UniqueRegKey key;
    const std::wstring path = AccountKey() + L"\\" + kSyncFolderSubkey;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, key.Put()) != ERROR_SUCCESS) return entries;
    for (DWORD index = 0;; ++index) {
        wchar_t name[300];
        DWORD length = 300;
        uint64_t id = 0;
        DWORD size = sizeof(id);
        if (::RegEnumValueW(key.Get(), index, name, &length, nullptr, nullptr, reinterpret_cast<BYTE*>(&id), &size) !=
            ERROR_SUCCESS)
            break;
        entries.push_back(std::wstring(name, length) + L"=" + std::to_wstring(id));
    }
    return entries;
}

uint64_t OptionsTest::FolderId(const std::string& path) { return IdOf(ItemAt(path)); }

int OptionsTest::ListingsOf(uint64_t parentId) {
    int count = 0;
    const std::string wanted = "parentId=" + (parentId == 0 ? std::string("root") : std::to_string(parentId));
    for (const Json::Value& entry : Requests()) {
        const std::string query = entry["query"].asString();
        if (entry["path"].asString() == "/files" && (query == wanted || query.rfind(wanted + "&", 0) == 0)) ++count;
    }
    return count;
}

INT_PTR OptionsTest::RunOptions(COptionsWnd& window, std::function<void(COptionsWnd&)> step) {
    m_script.Post([&window, step] {
        step(window);
        if (window.IsRunning()) ::SendMessageW(window.m_hWnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    });
    const INT_PTR result = window.DoModal(m_frame.GetViewWindow());
    m_script.DropPosted();
    return result;
}

void OptionsTest::MakeFirstRun() {
    WriteRawDword(kSettingsKeyPath, kFirstRunValue, 1);
    ASSERT_EQ(m_settings.LoadGlobal(), 0);
    ASSERT_TRUE(m_settings.IsFirstRun());
}

void ClickButton(HWND page, int id) {
    HWND button = ::GetDlgItem(page, id);
    ASSERT_NE(button, nullptr) << "no control " << id;
    ::SendMessageW(button, BM_CLICK, 0, 0);
    CDialogScript::Pump();
}

void ClickPaneRow(HWND pane, int row) {
    const int y = row * COptionsNavPane::kRowHeight + COptionsNavPane::kRowHeight / 2;
    ::SendMessageW(pane, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(40, y));
    ::SendMessageW(pane, WM_LBUTTONUP, 0, MAKELPARAM(40, y));
    CDialogScript::Pump();
}

HTREEITEM FindTreeItem(HWND tree, const std::wstring& path) {
    HTREEITEM level = Next(tree, nullptr, TVGN_ROOT);
    HTREEITEM found = nullptr;
    size_t start = 0;
    while (start <= path.size()) {
        const size_t end = path.find(L'\\', start);
        const std::wstring name = path.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
        found = nullptr;
        for (HTREEITEM item = level; item != nullptr; item = Next(tree, item, TVGN_NEXT)) {
            if (ItemText(tree, item) == name) {
                found = item;
                break;
            }
        }
        if (found == nullptr || end == std::wstring::npos) return found;
        level = Next(tree, found, TVGN_CHILD);
        start = end + 1;
    }
    return found;
}

bool IsTicked(HWND tree, HTREEITEM item) {
    const UINT state = static_cast<UINT>(
        ::SendMessageW(tree, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item), TVIS_STATEIMAGEMASK));
    return (state & TVIS_STATEIMAGEMASK) == INDEXTOSTATEIMAGEMASK(2);
}

void ClickCheckBox(HWND tree, HTREEITEM item) {
    RECT text = {};
    *reinterpret_cast<HTREEITEM*>(&text) = item;
    ASSERT_TRUE(::SendMessageW(tree, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&text)));
    TVHITTESTINFO hit = {};
    hit.pt.y = (text.top + text.bottom) / 2;
    bool onBox = false;
    for (hit.pt.x = text.left - 1; hit.pt.x >= 0 && !onBox; --hit.pt.x) {
        hit.flags = 0;
        ::SendMessageW(tree, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit));
        onBox = hit.hItem == item && (hit.flags & TVHT_ONITEMSTATEICON) != 0;
        if (onBox) break;
    }
    if (!onBox) {
        std::string trace;
        for (int x = 0; x < text.left + 4; ++x) {
            TVHITTESTINFO probe = {};
            probe.pt = {x, (text.top + text.bottom) / 2};
            ::SendMessageW(tree, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&probe));
            trace += std::to_string(x) + ":" + std::to_string(probe.flags) + (probe.hItem == item ? "*" : "") + " ";
        }
        ADD_FAILURE() << "state list " << ::SendMessageW(tree, TVM_GETIMAGELIST, TVSIL_STATE, 0) << " style " << std::hex << ::GetWindowLongW(tree, GWL_STYLE) << std::dec << " text " << text.left << "," << text.top << " " << trace;
    }
    ASSERT_TRUE(onBox) << "no check box left of the item's text";
    const LPARAM where = MAKELPARAM(hit.pt.x, hit.pt.y);
    // The button comes up right away, as after a short click: the tree
    // view's wait for a drag finds it queued.
    ::PostMessageW(tree, WM_LBUTTONUP, 0, where);
    ::SendMessageW(tree, WM_LBUTTONDOWN, MK_LBUTTON, where);
    CDialogScript::Pump();
}

void PressSpaceOn(HWND tree, HTREEITEM item) {
    ::SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
    ::SetFocus(tree);
    ::SendMessageW(tree, WM_KEYDOWN, VK_SPACE, 0x00390001);
    ::SendMessageW(tree, WM_CHAR, L' ', 0x00390001);
    ::SendMessageW(tree, WM_KEYUP, VK_SPACE, 0xC0390001);
    CDialogScript::Pump();
}

std::vector<std::wstring> TreeTexts(HWND tree) {
    std::vector<std::wstring> texts;
    CollectTexts(tree, Next(tree, nullptr, TVGN_ROOT), std::wstring(), texts);
    return texts;
}

std::vector<std::wstring> Describe(const CSyncFolderList& list) {
    std::vector<std::wstring> entries;
    for (const SyncFolderEntry& entry : list.GetEntries())
        entries.push_back(entry.path + L"=" + std::to_wstring(entry.folderId));
    return entries;
}

}  // namespace brelio::test
