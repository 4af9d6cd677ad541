// The remote-folder picker over a seeded drive on the stand-in: what is
// listed, what is ticked, what OK stores and what Cancel leaves.
#include <algorithm>
#include <functional>
#include <set>
#include <vector>

#include "BrelioApp/RemoteFolderDlg.h"
#include "BrelioApp/StringIds.h"
#include "BrelioCore/StringTable.h"
#include "OptionsFixture.h"
#include "WindowPixels.h"

namespace brelio::test {
namespace {

class Picker : public OptionsTest {
protected:
    void SeedDrive() {
        Seed({FolderItem("/A"), FolderItem("/A/A1"), FolderItem("/A/A1/A1x"), FolderItem("/A/A2"),
              FileItem("/A/notes.txt", 10), FolderItem("/B"), FolderItem("/B/B1"), FolderItem("/B/B1/B1x"),
              FolderItem("/C")});
    }
    std::wstring Entry(const std::wstring& path) {
        std::string remote = "/";
        for (wchar_t c : path) remote += c == L'\\' ? '/' : static_cast<char>(c);
        return path + L"=" + std::to_wstring(FolderId(remote));
    }
    void Fill(CSyncFolderList& list, const std::vector<std::wstring>& paths) {
        for (const std::wstring& path : paths) {
            std::string remote = "/";
            for (wchar_t c : path) remote += c == L'\\' ? '/' : static_cast<char>(c);
            list.Add(path.c_str(), FolderId(remote));
        }
    }
    // Runs the picker on `list` with `step` driving its tree.
    INT_PTR RunPicker(CSyncFolderList& list, std::function<void(HWND dialog, HWND tree)> step) {
        m_script.OnNextDialog([step](HWND dialog) { step(dialog, ::GetDlgItem(dialog, IDC_FOLDER_TREE)); });
        CRemoteFolderDlg picker(&list, m_program);
        return picker.DoModal(m_frame.GetViewWindow());
    }
};

void Expand(HWND tree, const std::wstring& path) {
    HTREEITEM item = FindTreeItem(tree, path);
    ASSERT_NE(item, nullptr) << "no item " << testing::PrintToString(path);
    ::SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
}

void Click(HWND tree, const std::wstring& path) {
    HTREEITEM item = FindTreeItem(tree, path);
    ASSERT_NE(item, nullptr) << "no item " << testing::PrintToString(path);
    ClickCheckBox(tree, item);
}

void Space(HWND tree, const std::wstring& path) {
    HTREEITEM item = FindTreeItem(tree, path);
    ASSERT_NE(item, nullptr) << "no item " << testing::PrintToString(path);
    PressSpaceOn(tree, item);
}

std::set<std::wstring> TickedOnScreen(HWND tree) {
    std::set<std::wstring> ticked;
    for (const std::wstring& path : TreeTexts(tree))
        if (IsTicked(tree, FindTreeItem(tree, path))) ticked.insert(path);
    return ticked;
}

// Where the item's check box lies in the tree's client area: the run of
// points left of its text that the tree says are on its state image.
RECT CheckBoxOf(HWND tree, HTREEITEM item) {
    RECT text = {};
    *reinterpret_cast<HTREEITEM*>(&text) = item;
    if (!::SendMessageW(tree, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&text))) return {};
    RECT box = {0, text.top, 0, text.bottom};
    TVHITTESTINFO hit = {};
    hit.pt.y = (text.top + text.bottom) / 2;
    for (hit.pt.x = text.left - 1; hit.pt.x >= 0; --hit.pt.x) {
        hit.flags = 0;
        ::SendMessageW(tree, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit));
        const bool onBox = hit.hItem == item && (hit.flags & TVHT_ONITEMSTATEICON) != 0;
        if (onBox) {
            if (box.right == 0) box.right = hit.pt.x + 1;
            box.left = hit.pt.x;
        } else if (box.right != 0) {
            break;
        }
    }
    return box;
}

// The tree as drawn: each folder's name where the tree puts its row, a
// ticked box unlike an unticked one, and nothing below the last row.
void ExpectTreeDrawn(HWND tree) {
    CWindowPixels pixels;
    ASSERT_TRUE(pixels.Capture(tree));
    constexpr COLORREF kWhite = RGB(255, 255, 255);
    std::vector<int> tickedInk;
    std::vector<int> untickedInk;
    LONG lastRow = 0;
    for (const std::wstring& path : TreeTexts(tree)) {
        const HTREEITEM item = FindTreeItem(tree, path);
        RECT text = {};
        *reinterpret_cast<HTREEITEM*>(&text) = item;
        if (!::SendMessageW(tree, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&text))) continue;  // folded
        EXPECT_GE(pixels.CountDrawn(text, kWhite), 10) << testing::PrintToString(path);
        const int ink = pixels.CountNear(CheckBoxOf(tree, item), RGB(0, 0, 0), 96);
        (IsTicked(tree, item) ? tickedInk : untickedInk).push_back(ink);
        lastRow = std::max(lastRow, text.bottom);
    }
    ASSERT_FALSE(tickedInk.empty());
    ASSERT_FALSE(untickedInk.empty());
    EXPECT_GE(*std::min_element(tickedInk.begin(), tickedInk.end()),
              *std::max_element(untickedInk.begin(), untickedInk.end()) + 5)
        << "a tick's dark pixels";
    EXPECT_EQ(pixels.CountDrawn({0, lastRow + 1, pixels.Width(), pixels.Height()}, kWhite), 0);
}

void Press(HWND dialog, int button) { ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0); }

TEST_F(Picker, TicksAndWhatOkStores) {
    SeedDrive();
    const struct Case {
        const char* what;
        std::vector<std::wstring> stored;
        std::function<void(HWND tree)> act;
        std::set<std::wstring> ticked;  // on screen once the actions are done
        int button;
        std::vector<std::wstring> result;
    } cases[] = {
        {"ticking a folder ticks its loaded folders", {}, [](HWND t) { Click(t, L"A"); },
         {L"A", L"A\\A1", L"A\\A2"}, IDOK, {L"A"}},
        {"unticking a child of a ticked folder keeps the folder whole", {},
         [](HWND t) { Click(t, L"A"); Expand(t, L"A"); Click(t, L"A\\A1"); }, {L"A", L"A\\A2"}, IDOK, {L"A"}},
        {"an unticked folder stores each ticked child by its full path", {L"A\\A1", L"B"},
         // Reaching A2 shows A's folders, and loads theirs: A1's own is
         // ticked because A1 is stored.
         [](HWND t) { Space(t, L"A\\A2"); }, {L"A\\A1", L"A\\A1\\A1x", L"A\\A2", L"B", L"B\\B1"}, IDOK,
         {L"A\\A1", L"A\\A2", L"B"}},
        {"unticking a folder by the Space key unticks its subtree", {L"B"}, [](HWND t) { Space(t, L"B"); }, {},
         IDOK, {}},
        {"folders loaded later follow the stored selection, not the screen", {L"B"},
         [](HWND t) { Click(t, L"A"); Expand(t, L"A"); Expand(t, L"B"); Expand(t, L"B\\B1"); },
         {L"A", L"A\\A1", L"A\\A2", L"B", L"B\\B1", L"B\\B1\\B1x"}, IDOK, {L"A", L"B"}},
        {"Cancel leaves the selection as it was", {L"B"}, [](HWND t) { Click(t, L"A"); Click(t, L"B"); },
         {L"A", L"A\\A1", L"A\\A2"}, IDCANCEL, {L"B"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CSyncFolderList list;
        Fill(list, c.stored);
        const INT_PTR result = RunPicker(list, [&](HWND dialog, HWND tree) {
            c.act(tree);
            EXPECT_EQ(TickedOnScreen(tree), c.ticked);
            if (std::string(c.what).find("loaded later") != std::string::npos) {
                // A dialog box shows itself once its queue first runs dry;
                // this step came before that.
                ::ShowWindow(dialog, SW_SHOW);
                SaveWindowShot(dialog, L"options-remote-folder-picker");
                ExpectTreeDrawn(tree);
            }
            Press(dialog, c.button);
        });
        EXPECT_EQ(result, c.button);
        std::vector<std::wstring> expected;
        for (const std::wstring& path : c.result) expected.push_back(Entry(path));
        EXPECT_EQ(Describe(list), expected);
    }
}

TEST_F(Picker, ListsFoldersTwoLevelsAheadAndEachLevelOnce) {
    SeedDrive();
    const uint64_t a1 = FolderId("/A/A1");
    const uint64_t a2 = FolderId("/A/A2");
    CSyncFolderList list;
    ClearLog();
    RunPicker(list, [&](HWND dialog, HWND tree) {
        // The drive's folders and theirs; no file, nothing deeper.
        EXPECT_EQ(TreeTexts(tree),
                  (std::vector<std::wstring>{L"A", L"A\\A1", L"A\\A2", L"B", L"B\\B1", L"C"}));
        EXPECT_EQ(ListingsOf(a1), 0);
        HTREEITEM a = FindTreeItem(tree, L"A");
        for (int round = 0; round < 2; ++round) {
            ::SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(a));
            ::SendMessageW(tree, TVM_EXPAND, TVE_COLLAPSE, reinterpret_cast<LPARAM>(a));
            // Forget that it was expanded once, so that the second
            // expansion is announced again.
            TVITEMW item = {};
            item.mask = TVIF_STATE;
            item.hItem = a;
            item.stateMask = TVIS_EXPANDEDONCE;
            item.state = 0;
            ::SendMessageW(tree, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
        }
        EXPECT_NE(FindTreeItem(tree, L"A\\A1\\A1x"), nullptr);
        Press(dialog, IDOK);
    });
    EXPECT_EQ(ListingsOf(a1), 1);
    EXPECT_EQ(ListingsOf(a2), 1);
    EXPECT_EQ(ListingsOf(0), 1);
}

TEST_F(Picker, AnEmptyDriveStoresAnEmptySelection) {
    CSyncFolderList list;
    list.Add(L"Gone", 77);
    const INT_PTR result = RunPicker(list, [](HWND dialog, HWND tree) {
        EXPECT_TRUE(TreeTexts(tree).empty());
        Press(dialog, IDOK);
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_TRUE(list.IsEmpty());
}

TEST_F(Picker, ASessionErrorOnTheRootEndsThePickerWithItsMessage) {
    SeedDrive();
    Json::Value fault;
    fault["path"] = "parentId=root";
    fault["envelope"]["resultCode"] = -15400201;
    fault["envelope"]["httpStatus"] = 200;
    AddFault(fault);
    CSyncFolderList list;
    list.Add(L"B", FolderId("/B"));
    m_script.AnswerBox(IDOK);
    CRemoteFolderDlg picker(&list, m_program);
    EXPECT_EQ(picker.DoModal(m_frame.GetViewWindow()), IDCANCEL);
    EXPECT_EQ(m_script.BoxTexts(), std::vector<std::wstring>{LoadStringText(IDS_DRIVE_SERVICE_DISABLED)});
    EXPECT_EQ(Describe(list), std::vector<std::wstring>{Entry(L"B")});
}

TEST_F(Picker, AnotherListingFailureLeavesThatLevelEmpty) {
    SeedDrive();
    Json::Value fault;
    fault["path"] = "parentId=" + std::to_string(FolderId("/A")) + "(&|$)";
    fault["status"] = 500;
    AddFault(fault);
    CSyncFolderList list;
    const INT_PTR result = RunPicker(list, [](HWND dialog, HWND tree) {
        EXPECT_EQ(TreeTexts(tree), (std::vector<std::wstring>{L"A", L"B", L"B\\B1", L"C"}));
        Click(tree, L"B");
        Press(dialog, IDOK);
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_TRUE(m_script.BoxTexts().empty());
    EXPECT_EQ(Describe(list), std::vector<std::wstring>{Entry(L"B")});
}

}  // namespace
}  // namespace brelio::test
