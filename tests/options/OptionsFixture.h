#pragma once
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "BrelioApp/OptionsWnd.h"
#include "BrelioCore/JXView.h"
#include "BrelioServices/Settings.h"
#include "DialogScript.h"
#include "StandinTest.h"

namespace brelio::test {

// A window standing in for the main frame: it records every WM_SYNCITEM
// that reaches it.
class CRecordingFrame : public CJXView {
public:
    CRecordingFrame();
    ~CRecordingFrame() override;
    HWND GetViewWindow() const override { return m_window; }
    std::vector<std::pair<WPARAM, LPARAM>> received;

private:
    static LRESULT CALLBACK FrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    HWND m_window = nullptr;
};

// The application's settings signed in to a fresh stand-in account whose
// sync folder is a scratch folder, with the program's registry keys gone
// before and after; a frame that records what it is sent; a script for the
// dialogs.
class OptionsTest : public StandinTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Signs the settings in to `member` of the stand-in tenant, the root
    // folder stored beforehand so that nothing lands in the profile.
    void SignIn(const std::wstring& member, const std::wstring& root);
    // Stores a selection as the program would.
    void StoreSelection(const std::vector<std::pair<std::wstring, uint64_t>>& entries);
    std::wstring AccountKey() const;
    // The selection as the registry holds it: "path=id" in enumeration order.
    std::vector<std::wstring> StoredSelection() const;
    // The stand-in ids of seeded folders by path ("/A/B").
    uint64_t FolderId(const std::string& path);
    // Requests for one folder's listing since the log was cleared.
    int ListingsOf(uint64_t parentId);

    // Runs the options window modally with `step` driving it from inside
    // its loop; a window the step leaves open is cancelled.
    INT_PTR RunOptions(COptionsWnd& window, std::function<void(COptionsWnd&)> step);
    // Makes this start a first run, as the program's start would see it.
    void MakeFirstRun();

    // The program's own settings and the program itself, which the windows
    // are made with.
    CSettings& m_settings;
    IOptionsProgram& m_program;
    std::wstring m_root;
    CRecordingFrame m_frame;
    CDialogScript m_script;

public:
    OptionsTest();
};

// The tree of the picker, read and driven as a user would.
HTREEITEM FindTreeItem(HWND tree, const std::wstring& path);
bool IsTicked(HWND tree, HTREEITEM item);
// A click on the item's check box.
void ClickCheckBox(HWND tree, HTREEITEM item);
// The Space key on the item, selected first.
void PressSpaceOn(HWND tree, HTREEITEM item);
std::vector<std::wstring> TreeTexts(HWND tree);

// A user's click on a control of a page or the pane.
void ClickButton(HWND page, int id);
void ClickPaneRow(HWND pane, int row);  // rows from 0, the header first

// The entries of a list as "path=id".
std::vector<std::wstring> Describe(const CSyncFolderList& list);

}  // namespace brelio::test
