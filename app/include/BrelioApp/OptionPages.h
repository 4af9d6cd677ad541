#pragma once
#include <windows.h>

#include <string>

#include "BrelioApp/OptionsProgram.h"
#include "BrelioApp/ResourceIds.h"
#include "BrelioFramework/DialogImpl.h"
#include "BrelioFramework/MessageMap.h"
#include "BrelioServices/Settings.h"
#include "BrelioServices/SyncFolderList.h"

// What both option pages share: a white background behind the page and its
// texts. Each page runs these entries after its own.
class COptionDlgBase {
public:
    BEGIN_MSG_MAP(COptionDlgBase)
        MESSAGE_HANDLER(WM_CTLCOLORDLG, OnCtlColor)
        MESSAGE_HANDLER(WM_CTLCOLORSTATIC, OnCtlColor)
    END_MSG_MAP()

protected:
    ~COptionDlgBase() = default;

private:
    LRESULT OnCtlColor(UINT, WPARAM, LPARAM, BOOL&) { return reinterpret_cast<LRESULT>(m_brush); }

    HBRUSH m_brush = static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH));  // stock: never freed
};

// The folder page: the whole drive or a selection of its folders, and the
// local sync folder. It keeps working copies; the options window stores
// them on OK.
class CFolderOptionDlg : public ATL::CDialogImpl<CFolderOptionDlg>, public COptionDlgBase {
public:
    enum { IDD = IDD_FOLDER_OPTIONS };

    CFolderOptionDlg(const CSettings& settings, IOptionsProgram& program) : m_settings(settings), m_program(program) {}

    BEGIN_MSG_MAP(CFolderOptionDlg)
        MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
        COMMAND_ID_HANDLER(IDC_ALL_FOLDERS, OnAllFolders)
        COMMAND_ID_HANDLER(IDC_SELECTED_FOLDERS, OnSelectedFolders)
        COMMAND_ID_HANDLER(IDC_CHOOSE_FOLDERS, OnChooseFolders)
        COMMAND_ID_HANDLER(IDC_CHANGE_FOLDER, OnChangeFolder)
        CHAIN_MSG_MAP(COptionDlgBase)
    END_MSG_MAP()

    // The page's choice holds: a selection is not empty when one is asked
    // for, and the folder typed or picked can be the sync folder (message
    // 8001 or 8000 otherwise). Unless checkOnly, the accepted folder (in
    // its normalised form) and the selection (emptied for the whole drive)
    // become the page's values.
    [[nodiscard]] bool Validate(bool checkOnly);

    const std::wstring& GetRoot() const { return m_root; }
    const CSyncFolderList& GetFolders() const { return m_folders; }

private:
    LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnAllFolders(WORD, WORD, HWND, BOOL&);
    LRESULT OnSelectedFolders(WORD, WORD, HWND, BOOL&);
    LRESULT OnChooseFolders(WORD, WORD, HWND, BOOL&);
    LRESULT OnChangeFolder(WORD, WORD, HWND, BOOL&);

    const CSettings& m_settings;
    IOptionsProgram& m_program;
    std::wstring m_root;
    CSyncFolderList m_folders;
};

// The login page: the signed-in account, log-out, keep the login, start
// with Windows.
class CLoginOptionDlg : public ATL::CDialogImpl<CLoginOptionDlg>, public COptionDlgBase {
public:
    enum { IDD = IDD_LOGIN_OPTIONS };

    CLoginOptionDlg(const CSettings& settings, IOptionsProgram& program) : m_settings(settings), m_program(program) {}

    BEGIN_MSG_MAP(CLoginOptionDlg)
        MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
        COMMAND_ID_HANDLER(IDC_LOG_OUT, OnLogOut)
        CHAIN_MSG_MAP(COptionDlgBase)
    END_MSG_MAP()

    // Reads the two check boxes into the page's values; always true.
    bool Apply();
    bool GetKeepLogin() const { return m_keepLogin; }
    bool GetAutoStart() const { return m_autoStart; }

private:
    LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnLogOut(WORD, WORD, HWND, BOOL&);

    const CSettings& m_settings;
    IOptionsProgram& m_program;
    bool m_keepLogin = false;
    bool m_autoStart = false;
};
