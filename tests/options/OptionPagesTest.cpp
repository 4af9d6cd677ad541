// The two pages of the options window: what they show of the stored
// settings, the checks of the folder page, the account on the login page.
#include <shlobj.h>

#include <algorithm>

#include "BrelioApp/OptionsWnd.h"
#include "BrelioApp/StringIds.h"
#include "BrelioCore/StringTable.h"
#include "BrelioServices/GlobalSettings.h"
#include "BrelioServices/PathHelpers.h"
#include "BrelioServices/RegistryLayout.h"
#include "BrelioServices/RestFrame.h"
#include "OptionsFixture.h"
#include "ProgramKeys.h"

namespace brelio::test {
namespace {

using OptionPages = OptionsTest;

void PressOk(COptionsWnd& w) { ::SendMessageW(w.m_hWnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0); }

TEST_F(OptionPages, TheFolderChoiceFollowsTheStoredSelection) {
    Seed({FolderItem("/A"), FolderItem("/B")});
    const struct Case {
        const char* what;
        bool stored;
    } cases[] = {{"whole drive", false}, {"a selection", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.stored) {
            StoreSelection({{L"A", FolderId("/A")}});
        } else {
            StoreSelection({});
        }
        COptionsWnd window(m_settings, m_program);
        RunOptions(window, [&](COptionsWnd& w) {
            HWND page = w.GetFolderPage();
            EXPECT_EQ(::IsDlgButtonChecked(page, IDC_ALL_FOLDERS), c.stored ? 0u : 1u);
            EXPECT_EQ(::IsDlgButtonChecked(page, IDC_SELECTED_FOLDERS), c.stored ? 1u : 0u);
            EXPECT_EQ(::IsWindowEnabled(::GetDlgItem(page, IDC_CHOOSE_FOLDERS)) != FALSE, c.stored);
            EXPECT_EQ(::GetFocus(), ::GetDlgItem(page, c.stored ? IDC_SELECTED_FOLDERS : IDC_ALL_FOLDERS));
            wchar_t root[MAX_PATH] = L"";
            ::GetDlgItemTextW(page, IDC_ROOT_FOLDER, root, MAX_PATH);
            EXPECT_EQ(std::wstring(root), m_root);
            ClickButton(page, c.stored ? IDC_ALL_FOLDERS : IDC_SELECTED_FOLDERS);
            EXPECT_EQ(::IsWindowEnabled(::GetDlgItem(page, IDC_CHOOSE_FOLDERS)) != FALSE, !c.stored);
            if (c.stored) {
                PressOk(w);  // the whole drive again
                return;
            }
            // The picker starts from the page's empty selection.
            m_script.OnNextDialog([](HWND dialog) {
                HWND tree = ::GetDlgItem(dialog, IDC_FOLDER_TREE);
                EXPECT_EQ(TreeTexts(tree), (std::vector<std::wstring>{L"A", L"B"}));
                EXPECT_FALSE(IsTicked(tree, FindTreeItem(tree, L"A")));
                EXPECT_FALSE(IsTicked(tree, FindTreeItem(tree, L"B")));
                ClickCheckBox(tree, FindTreeItem(tree, L"B"));
                ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            });
            ClickButton(page, IDC_CHOOSE_FOLDERS);
            PressOk(w);
        });
        EXPECT_EQ(window.GetResult(), OPTIONS_SELECTION_CHANGED);
        const RawValue flag = ReadRaw(AccountKey(), kSyncFolderValue);
        EXPECT_EQ(flag.bytes, (std::vector<BYTE>{static_cast<BYTE>(c.stored ? 0 : 1), 0, 0, 0}));
        EXPECT_EQ(StoredSelection(), c.stored ? std::vector<std::wstring>{}
                                              : std::vector<std::wstring>{L"B=" + std::to_wstring(FolderId("/B"))});
    }
}

TEST_F(OptionPages, ASelectionWithoutFoldersIsRefused) {
    m_script.AnswerBox(IDOK);
    COptionsWnd window(m_settings, m_program);
    RunOptions(window, [&](COptionsWnd& w) {
        ClickButton(w.GetFolderPage(), IDC_SELECTED_FOLDERS);
        PressOk(w);
        EXPECT_TRUE(w.IsRunning());
    });
    EXPECT_EQ(m_script.BoxTexts(), std::vector<std::wstring>{LoadStringText(IDS_CHOOSE_SYNC_FOLDERS)});
    EXPECT_EQ(ReadRaw(AccountKey(), kSyncFolderValue).type, static_cast<DWORD>(REG_NONE));
}

// The folder a sync may use: an existing folder given by its full path,
// not a drive and not a folder that holds the program's own working
// folders, stored without a trailing separator.
TEST_F(OptionPages, OnlyAFolderThatCanBeSyncedIsStored) {
    std::wstring profile;
    ASSERT_EQ(GetKnownFolder(FOLDERID_Profile, profile), S_OK);
    std::wstring localAppData;
    ASSERT_EQ(GetKnownFolder(FOLDERID_LocalAppData, localAppData), S_OK);
    wchar_t temp[MAX_PATH + 1] = L"";
    ASSERT_NE(::GetTempPathW(MAX_PATH + 1, temp), 0u);
    wchar_t current[MAX_PATH + 1] = L"";
    ASSERT_NE(::GetCurrentDirectoryW(MAX_PATH + 1, current), 0u);
    const std::wstring file = m_folder / L"file.txt";
    ASSERT_TRUE(WriteFileBytes(file, "x"));
    const std::wstring accepted = m_folder / L"accepted";
    ASSERT_TRUE(::CreateDirectoryW(accepted.c_str(), nullptr));
    std::wstring forward = accepted;
    std::replace(forward.begin(), forward.end(), L'\\', L'/');

    const struct Case {
        const char* what;
        std::wstring text;
        bool stored;
    } cases[] = {
        {"a relative name, which names a folder of the current directory", L".", false},
        {"a path relative to the drive", std::wstring(current).substr(2), false},
        {"a drive", L"C:\\", false},
        {"a drive reached through ..", m_root + L"\\..\\..\\..\\..\\..\\..\\..\\..", false},
        {"the profile, which holds the program's data", profile, false},
        {"the local application data", localAppData, false},
        {"the temporary folder, which holds the log", temp, false},
        {"a file", file, false},
        {"a folder that does not exist", m_folder / L"missing", false},
        {"a folder with a trailing separator", accepted + L"\\", true},
        {"a folder with forward slashes", forward, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(m_settings.SetRootDir(m_root.c_str()), S_OK);
        const size_t boxes = m_script.BoxTexts().size();
        if (!c.stored) m_script.AnswerBox(IDOK);
        COptionsWnd window(m_settings, m_program);
        bool closed = false;
        RunOptions(window, [&](COptionsWnd& w) {
            ::SetDlgItemTextW(w.GetFolderPage(), IDC_ROOT_FOLDER, c.text.c_str());
            PressOk(w);
            closed = !w.IsRunning();
        });
        EXPECT_EQ(closed, c.stored);
        if (c.stored) {
            EXPECT_EQ(m_script.BoxTexts().size(), boxes);
            EXPECT_EQ(window.GetResult(), OPTIONS_ROOT_CHANGED);
            EXPECT_EQ(StoredString(ReadRaw(AccountKey(), kRootDirValue)), accepted);
        } else {
            ASSERT_EQ(m_script.BoxTexts().size(), boxes + 1);
            EXPECT_EQ(m_script.BoxTexts().back(), LoadStringText(IDS_FOLDER_NOT_VALID));
            EXPECT_EQ(StoredString(ReadRaw(AccountKey(), kRootDirValue)), m_root);
        }
    }
}

TEST_F(OptionPages, TheLoginPageShowsTheAccountAsTheServiceSpellsIt) {
    // A user code beyond the ANSI code page: it comes as UTF-8.
    const std::string userCode = "\xED\x99\x8D\xEA\xB8\xB8\xEB\x8F\x99";  // 홍길동
    m_account = CreateAccount(m_account.tenant, userCode);
    SetAuthHeader(m_account.SessionHeader().c_str());
    SignIn(L"\uD64D\uAE38\uB3D9", m_root);
    ClearLog();
    COptionsWnd window(m_settings, m_program);
    std::wstring shown;
    RunOptions(window, [&](COptionsWnd& w) {
        ClickPaneRow(w.GetNavPane(), 2);
        wchar_t text[128] = L"";
        ::GetDlgItemTextW(w.GetLoginPage(), IDC_ACCOUNT, text, 128);
        shown = text;
    });
    EXPECT_EQ(shown, L"\uD64D\uAE38\uB3D9");
    const Json::Value requests = Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0]["path"].asString(), "/v2/mapi/members/me");
}

TEST_F(OptionPages, WithoutAnAccountTheLoginPageAsksNothing) {
    ASSERT_EQ(m_settings.SetAccount(nullptr, nullptr), ERROR_SUCCESS);
    ClearLog();
    COptionsWnd window(m_settings, m_program);
    std::wstring shown = L"unread";
    RunOptions(window, [&](COptionsWnd& w) {
        ClickPaneRow(w.GetNavPane(), 2);
        wchar_t text[128] = L"";
        ::GetDlgItemTextW(w.GetLoginPage(), IDC_ACCOUNT, text, 128);
        shown = text;
        EXPECT_EQ(::IsDlgButtonChecked(w.GetLoginPage(), IDC_KEEP_LOGIN), 0u);
        EXPECT_EQ(::IsDlgButtonChecked(w.GetLoginPage(), IDC_AUTO_START), 0u);
    });
    EXPECT_EQ(shown, L"");
    EXPECT_EQ(Requests().size(), 0u);
}

TEST_F(OptionPages, TheLoginChecksFollowTheStoredSettings) {
    ASSERT_EQ(m_settings.SetAutoLogin(true), ERROR_SUCCESS);
    SetAutoStart(true);
    COptionsWnd window(m_settings, m_program);
    RunOptions(window, [&](COptionsWnd& w) {
        ClickPaneRow(w.GetNavPane(), 2);
        EXPECT_EQ(::IsDlgButtonChecked(w.GetLoginPage(), IDC_KEEP_LOGIN), 1u);
        EXPECT_EQ(::IsDlgButtonChecked(w.GetLoginPage(), IDC_AUTO_START), 1u);
        ClickButton(w.GetLoginPage(), IDC_AUTO_START);
        PressOk(w);
    });
    EXPECT_EQ(ReadRaw(kSettingsKeyPath, kAutoLoginValue).bytes, (std::vector<BYTE>{1, 0, 0, 0}));
    EXPECT_EQ(ReadRaw(kRunKeyPath, kRunValue).type, static_cast<DWORD>(REG_NONE));
}

// The shell's own folder picker, answered as a user would: its folder goes
// into the page's text only, and is stored by nothing but OK.
TEST_F(OptionPages, TheShellFolderPickerOnlyFillsTheFolderText) {
    const std::wstring picked = m_folder / L"picked";
    ASSERT_TRUE(::CreateDirectoryW(picked.c_str(), nullptr));
    const struct Case {
        const char* what;
        bool pick;
        std::wstring shown;
    } cases[] = {{"cancelled", false, m_root}, {"a folder picked", true, picked}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        m_script.OnNextDialog([&](HWND dialog) {
            // The shell dialog's file-name box takes a typed path.
            constexpr int kFileNameBox = 1152;
            if (c.pick) ::SetDlgItemTextW(dialog, kFileNameBox, picked.c_str());
            const int button = c.pick ? IDOK : IDCANCEL;
            ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
        });
        COptionsWnd window(m_settings, m_program);
        std::wstring shown;
        RunOptions(window, [&](COptionsWnd& w) {
            ClickButton(w.GetFolderPage(), IDC_CHANGE_FOLDER);
            wchar_t text[MAX_PATH] = L"";
            ::GetDlgItemTextW(w.GetFolderPage(), IDC_ROOT_FOLDER, text, MAX_PATH);
            shown = text;
        });
        EXPECT_EQ(shown, c.shown);
        EXPECT_EQ(StoredString(ReadRaw(AccountKey(), kRootDirValue)), m_root);
    }
}

}  // namespace
}  // namespace brelio::test
