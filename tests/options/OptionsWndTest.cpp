// The options window as a whole: what OK stores and reports, the pane's
// check of the page it leaves, and the log-out road to the main frame. The
// registry is read back after each case.
#include <algorithm>

#include "BrelioApp/OptionsWnd.h"
#include "BrelioApp/StringIds.h"
#include "BrelioCore/StringTable.h"
#include "BrelioServices/DatabasePath.h"
#include "BrelioServices/RegistryLayout.h"
#include "OptionsFixture.h"
#include "ProgramKeys.h"
#include "WindowPixels.h"

namespace brelio::test {
namespace {

using OptionsWindow = OptionsTest;

const std::wstring kSettingsChangeKey = std::wstring(kSettingsKeyPath) + L"\\" + kSettingsChangeSubkey;

void TickInPicker(CDialogScript& script, HWND page, const std::wstring& path) {
    script.OnNextDialog([path](HWND dialog) {
        HWND tree = ::GetDlgItem(dialog, IDC_FOLDER_TREE);
        ClickCheckBox(tree, FindTreeItem(tree, path));
        ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    });
    ClickButton(page, IDC_CHOOSE_FOLDERS);
}

enum class Shown { kFolderPage, kLoginPage };

// The window as drawn with one page shown: the pane's rows, the chosen one
// in the highlight with white text and the others grey with dark text,
// and the page's own content beside them.
void ExpectOptionsDrawn(COptionsWnd& window, Shown shown) {
    CWindowPixels pixels;
    ASSERT_TRUE(pixels.Capture(window.m_hWnd));
    constexpr COLORREF kWhite = RGB(255, 255, 255);
    constexpr COLORREF kPane = RGB(0xF2, 0xF2, 0xF2);
    constexpr COLORREF kHighlight = RGB(0x00, 0x7A, 0xCC);
    constexpr COLORREF kPicture = RGB(71, 87, 196);  // the folder page's cloud
    const int chosenRow = shown == Shown::kFolderPage ? 1 : 2;
    for (int row = 0; row < 3; ++row) {
        SCOPED_TRACE(testing::Message() << "row " << row + 1);
        const RECT rect = {0, row * 32, 160, row * 32 + 32};
        const bool chosen = row == chosenRow;
        EXPECT_EQ(pixels.At(150, row * 32 + 16), chosen ? kHighlight : kPane);
        if (chosen) {
            EXPECT_GE(pixels.CountNear(rect, kWhite, 48), 15) << "white text";
        } else {
            EXPECT_GE(pixels.CountDrawn(rect, kPane), 15) << "dark text";
        }
    }
    EXPECT_EQ(pixels.CountDrawn({0, 96, 160, pixels.Height()}, kPane), 0) << "nothing below the rows";
    const RECT page = {160, 0, pixels.Width(), pixels.Height() - 64};
    if (shown == Shown::kFolderPage) {
        EXPECT_GE(pixels.CountNear(page, kPicture, 16), 300);
    } else {
        EXPECT_EQ(pixels.CountNear(page, kPicture, 16), 0);
        const RECT account = PlaceIn(window.m_hWnd, ::GetDlgItem(window.GetLoginPage(), IDC_ACCOUNT));
        EXPECT_GE(pixels.CountDrawn(account, kWhite), 30) << "the account";
    }
}

TEST_F(OptionsWindow, WhatOkStoresAndReports) {
    Seed({FolderItem("/A"), FolderItem("/B")});
    const std::wstring a = L"A=" + std::to_wstring(FolderId("/A"));
    const std::wstring b = L"B=" + std::to_wstring(FolderId("/B"));
    const struct Case {
        const char* what;
        bool firstRun;
        bool tickB;
        bool otherRoot;
        int optionsResult;
    } cases[] = {
        {"OK without a change", false, false, false, OPTIONS_NOTHING_TO_PASS_ON},
        {"only the folders changed", false, true, false, OPTIONS_SELECTION_CHANGED},
        {"the local folder changed", false, false, true, OPTIONS_ROOT_CHANGED},
        {"both on a first run", true, true, true, OPTIONS_NOTHING_TO_PASS_ON},
    };
    int round = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsChangeKey.c_str());
        StoreSelection({{L"A", FolderId("/A")}});
        ASSERT_EQ(m_settings.SetRootDir(m_root.c_str()), S_OK);
        if (c.firstRun) MakeFirstRun();
        const std::set<std::wstring> before = DescribeTree(kSettingsKeyPath);
        const RawValue localStorageBefore = ReadRaw(AccountKey(), kLocalStorageValue);
        const std::wstring otherRoot = m_folder / (L"other" + std::to_wstring(++round));
        ASSERT_TRUE(::CreateDirectoryW(otherRoot.c_str(), nullptr));

        COptionsWnd window(m_settings, m_program);
        const INT_PTR result = RunOptions(window, [&](COptionsWnd& w) {
            if (c.tickB) TickInPicker(m_script, w.GetFolderPage(), L"B");
            if (c.otherRoot) ::SetDlgItemTextW(w.GetFolderPage(), IDC_ROOT_FOLDER, otherRoot.c_str());
            ::SendMessageW(w.m_hWnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        });
        EXPECT_EQ(result, CModalWndBase::kResultOk);
        EXPECT_EQ(window.GetResult(), c.optionsResult);

        const std::wstring expectedRoot = c.otherRoot ? otherRoot : m_root;
        EXPECT_EQ(StoredString(ReadRaw(AccountKey(), kRootDirValue)), expectedRoot);
        EXPECT_EQ(m_settings.GetRootDir(), expectedRoot);
        std::vector<std::wstring> selection = StoredSelection();
        std::sort(selection.begin(), selection.end());
        const std::vector<std::wstring> expected = c.tickB ? std::vector<std::wstring>{a, b} : std::vector<std::wstring>{a};
        EXPECT_EQ(selection, expected);
        const bool changed = c.tickB || c.otherRoot;
        EXPECT_EQ(KeyExists(kSettingsChangeKey), changed);
        if (!changed) {
            EXPECT_EQ(DescribeTree(kSettingsKeyPath), before);
            EXPECT_EQ(ReadRaw(AccountKey(), kLocalStorageValue), localStorageBefore);
        }
        if (c.otherRoot) {
            EXPECT_EQ(StoredString(ReadRaw(AccountKey(), kLocalStorageValue)),
                      MakeLocalStoragePath(m_settings.GetAccount().c_str(), otherRoot.c_str()));
        }
        // The login page was never opened: its settings stay as they were.
        EXPECT_EQ(ReadRaw(kSettingsKeyPath, kAutoLoginValue).bytes, (std::vector<BYTE>{0, 0, 0, 0}));
        EXPECT_EQ(ReadRaw(kRunKeyPath, kRunValue).type, static_cast<DWORD>(REG_NONE));
        EXPECT_TRUE(m_frame.received.empty());
        m_settings.ClearFirstRun();
    }
}

TEST_F(OptionsWindow, LoginSettingsAreStoredOnlyFromAnOpenedPage) {
    COptionsWnd window(m_settings, m_program);
    RunOptions(window, [&](COptionsWnd& w) {
        SaveWindowShot(w.m_hWnd, L"options-folder-page");
        ExpectOptionsDrawn(w, Shown::kFolderPage);
        ClickPaneRow(w.GetNavPane(), 2);
        EXPECT_EQ(w.GetCurrentPage(), w.GetLoginPage());
        EXPECT_FALSE(::IsWindowVisible(w.GetFolderPage()));
        SaveWindowShot(w.m_hWnd, L"options-login-page");
        ExpectOptionsDrawn(w, Shown::kLoginPage);
        ClickButton(w.GetLoginPage(), IDC_KEEP_LOGIN);
        ClickButton(w.GetLoginPage(), IDC_AUTO_START);
        // Back to the folder page needs no check of the login page.
        ClickPaneRow(w.GetNavPane(), 1);
        EXPECT_EQ(w.GetCurrentPage(), w.GetFolderPage());
        ::SendMessageW(w.m_hWnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    });
    EXPECT_EQ(window.GetResult(), OPTIONS_NOTHING_TO_PASS_ON);
    EXPECT_EQ(ReadRaw(kSettingsKeyPath, kAutoLoginValue).bytes, (std::vector<BYTE>{1, 0, 0, 0}));
    EXPECT_TRUE(m_settings.IsAutoLogin());
    EXPECT_NE(ReadRaw(kRunKeyPath, kRunValue).type, static_cast<DWORD>(REG_NONE));
    EXPECT_FALSE(KeyExists(kSettingsChangeKey));
}

TEST_F(OptionsWindow, ThePaneDoesNotLeaveAPageThatFailsItsCheck) {
    const std::set<std::wstring> before = DescribeTree(kSettingsKeyPath);
    m_script.AnswerBox(IDOK);
    m_script.AnswerBox(IDOK);
    COptionsWnd window(m_settings, m_program);
    const INT_PTR result = RunOptions(window, [&](COptionsWnd& w) {
        ClickButton(w.GetFolderPage(), IDC_SELECTED_FOLDERS);  // and no folder chosen
        ClickPaneRow(w.GetNavPane(), 2);
        EXPECT_EQ(w.GetCurrentPage(), w.GetFolderPage());
        EXPECT_EQ(w.GetLoginPage(), nullptr);
        // Clicking the header or the row already chosen asks nothing.
        ClickPaneRow(w.GetNavPane(), 0);
        ClickPaneRow(w.GetNavPane(), 1);
        ::SendMessageW(w.m_hWnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        EXPECT_TRUE(w.IsRunning());
    });
    EXPECT_EQ(result, CModalWndBase::kResultCancel);
    const std::wstring message = LoadStringText(IDS_CHOOSE_SYNC_FOLDERS);
    EXPECT_EQ(m_script.BoxTexts(), (std::vector<std::wstring>{message, message}));
    EXPECT_EQ(DescribeTree(kSettingsKeyPath), before);
}

TEST_F(OptionsWindow, AFolderThatCannotBeStoredKeepsTheWindowOpen) {
    const std::wstring otherRoot = m_folder / L"other";
    ASSERT_TRUE(::CreateDirectoryW(otherRoot.c_str(), nullptr));
    m_script.AnswerBox(IDOK);
    COptionsWnd window(m_settings, m_program);
    const INT_PTR result = RunOptions(window, [&](COptionsWnd& w) {
        // The account's key is gone from under the window.
        ASSERT_EQ(::RegDeleteTreeW(HKEY_CURRENT_USER, AccountKey().c_str()), ERROR_SUCCESS);
        ::SetDlgItemTextW(w.GetFolderPage(), IDC_ROOT_FOLDER, otherRoot.c_str());
        ::SendMessageW(w.m_hWnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        EXPECT_TRUE(w.IsRunning());
    });
    EXPECT_EQ(result, CModalWndBase::kResultCancel);
    EXPECT_EQ(m_script.BoxTexts(), std::vector<std::wstring>{LoadStringText(IDS_SYNC_FOLDER_NOT_SET)});
    EXPECT_FALSE(KeyExists(kSettingsChangeKey));
    EXPECT_EQ(m_settings.GetRootDir(), m_root);
}

TEST_F(OptionsWindow, LogOutClosesTheWindowAndTellsTheMainFrameOnlyWhenConfirmed) {
    const struct Case {
        const char* what;
        int answer;
        INT_PTR result;
        std::vector<std::pair<WPARAM, LPARAM>> frameReceives;
    } cases[] = {
        {"No does nothing", IDNO, CModalWndBase::kResultCancel, {}},
        {"Yes logs out", IDYES, CModalWndBase::kResultCancel, {{2, 0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        m_frame.received.clear();
        const size_t boxesBefore = m_script.BoxTexts().size();
        m_script.AnswerBox(c.answer);
        COptionsWnd window(m_settings, m_program);
        bool stillRunning = false;
        const INT_PTR result = RunOptions(window, [&](COptionsWnd& w) {
            ClickPaneRow(w.GetNavPane(), 2);
            ClickButton(w.GetLoginPage(), IDC_LOG_OUT);
            stillRunning = w.IsRunning();
        });
        CDialogScript::Pump();
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(stillRunning, c.answer == IDNO);
        ASSERT_EQ(m_script.BoxTexts().size(), boxesBefore + 1);
        EXPECT_EQ(m_script.BoxTexts().back(), LoadStringText(IDS_CONFIRM_SIGN_OUT));
        EXPECT_EQ(m_frame.received, c.frameReceives);
    }
}

}  // namespace
}  // namespace brelio::test

namespace brelio::test {
namespace {

// Tab goes through the page's controls as in a dialog, from the window's
// own loop, and round to the page's first one (OK and Cancel are no tab
// stops).
TEST_F(OptionsWindow, TabMovesThroughThePageControls) {
    COptionsWnd window(m_settings, m_program);
    std::vector<int> focused;
    RunOptions(window, [&](COptionsWnd& w) {
        HWND page = w.GetFolderPage();
        ::SetFocus(::GetDlgItem(page, IDC_ROOT_FOLDER));
        for (int i = 0; i < 2; ++i) {
            MSG msg = {::GetFocus(), WM_KEYDOWN, VK_TAB, 0x000F0001, 0, {0, 0}};
            EXPECT_TRUE(w.PreTranslateMessage(&msg));
            focused.push_back(::GetDlgCtrlID(::GetFocus()));
        }
    });
    EXPECT_EQ(focused, (std::vector<int>{IDC_CHANGE_FOLDER, IDC_ALL_FOLDERS}));
}

}  // namespace
}  // namespace brelio::test
