#include <windows.h>

#include <gtest/gtest.h>

#include "BrelioFramework/DialogImpl.h"
#include "BrelioFramework/WindowImpl.h"
#include "FrameworkTestIds.h"
#include "WindowPixels.h"

namespace {

// A modal dialog from a template: fills the edit on WM_INITDIALOG, answers
// the colour messages directly, ends with the button's id.
class CTestDialog : public ATL::CDialogImpl<CTestDialog> {
public:
    enum { IDD = IDD_TEST_MODAL };
    static constexpr UINT kFinish = WM_APP + 3;
    LPARAM initParam = 0;
    std::wstring typed;
    HBRUSH brush = static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH));

    BEGIN_MSG_MAP(CTestDialog)
        MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
        MESSAGE_HANDLER(WM_CTLCOLORDLG, OnColour)
        MESSAGE_HANDLER(kFinish, OnFinish)
        COMMAND_ID_HANDLER(IDOK, OnClose)
        COMMAND_ID_HANDLER(IDCANCEL, OnClose)
    END_MSG_MAP()

private:
    LRESULT OnInitDialog(UINT, WPARAM, LPARAM lParam, BOOL&) {
        initParam = lParam;
        SetDlgItemText(IDC_TEST_EDIT, L"initial");
        PostMessage(kFinish);
        return TRUE;
    }
    LRESULT OnColour(UINT, WPARAM, LPARAM, BOOL&) { return reinterpret_cast<LRESULT>(brush); }
    LRESULT OnFinish(UINT, WPARAM, LPARAM, BOOL&) {
        // The colour answer came back as the dialog's own answer, not as
        // TRUE from the dialog procedure.
        colourAnswer = SendMessage(WM_CTLCOLORDLG, 0, 0);
        ShowWindow(SW_SHOW);  // a modal dialog shows itself only once its queue is empty
        brelio::test::SaveWindowShot(m_hWnd, L"framework-dialog");
        // The brush the map answered paints the dialog; the label's text is
        // drawn over it.
        brelio::test::CWindowPixels pixels;
        if (pixels.Capture(m_hWnd)) {
            const RECT label = brelio::test::PlaceIn(m_hWnd, GetDlgItem(IDC_TEST_LABEL));
            const RECT edit = brelio::test::PlaceIn(m_hWnd, GetDlgItem(IDC_TEST_EDIT));
            const RECT ok = brelio::test::PlaceIn(m_hWnd, GetDlgItem(IDOK));
            const RECT below = {0, edit.bottom + 4, pixels.Width(), ok.top - 4};  // between the controls
            paintedWhite = pixels.CountNear(below, RGB(255, 255, 255)) ==
                           (below.right - below.left) * (below.bottom - below.top);
            labelInk = pixels.CountDrawn(label, RGB(255, 255, 255));
        }
        SetDlgItemText(IDC_TEST_EDIT, L"typed");
        PostMessage(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        return 0;
    }
    LRESULT OnClose(WORD, WORD id, HWND, BOOL&) {
        typed = GetDlgItemText(IDC_TEST_EDIT);
        EndDialog(id);
        return 0;
    }

public:
    LRESULT colourAnswer = 0;
    bool paintedWhite = false;
    int labelInk = 0;
};

// A child page from a template, made modeless inside a parent window.
class CTestPage : public ATL::CDialogImpl<CTestPage> {
public:
    enum { IDD = IDD_TEST_PAGE };
    int inits = 0;
    int finals = 0;
    BEGIN_MSG_MAP(CTestPage)
        MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
    END_MSG_MAP()
    void OnFinalMessage(HWND) override { ++finals; }

private:
    LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&) {
        ++inits;
        CheckDlgButton(IDC_TEST_CHECK, BST_CHECKED);
        return TRUE;
    }
};

class CPageHost : public ATL::CWindowImpl<CPageHost, ATL::CWindow, ATL::CWinTraits<WS_POPUP | WS_VISIBLE, 0>> {
public:
    BEGIN_MSG_MAP(CPageHost)
    END_MSG_MAP()
};

class CMissingDialog : public ATL::CDialogImpl<CMissingDialog> {
public:
    enum { IDD = 4321 };
    BEGIN_MSG_MAP(CMissingDialog)
    END_MSG_MAP()
};

}  // namespace

TEST(DialogImpl, ModalDialogFromItsTemplateRunsItsMapAndReturnsTheEndValue) {
    CTestDialog dialog;
    EXPECT_EQ(dialog.DoModal(nullptr, 1234), IDOK);
    EXPECT_EQ(dialog.initParam, 1234);
    EXPECT_EQ(dialog.typed, L"typed");
    EXPECT_EQ(dialog.colourAnswer, reinterpret_cast<LRESULT>(dialog.brush));
    EXPECT_TRUE(dialog.paintedWhite);
    EXPECT_GE(dialog.labelInk, 50);
    EXPECT_EQ(dialog.m_hWnd, nullptr);
}

TEST(DialogImpl, ModelessChildPageLivesInItsParentUntilThatGoes) {
    CPageHost host;
    ASSERT_NE(host.Create(nullptr, RECT{20, 20, 320, 220}), nullptr);
    CTestPage page;
    ASSERT_NE(page.Create(host), nullptr);
    EXPECT_EQ(page.inits, 1);
    EXPECT_EQ(page.GetParent(), host.m_hWnd);
    EXPECT_NE(page.GetStyle() & WS_CHILD, 0u);
    EXPECT_EQ(page.IsDlgButtonChecked(IDC_TEST_CHECK), static_cast<UINT>(BST_CHECKED));
    brelio::test::SaveWindowShot(host, L"framework-page");
    // The page shows inside its parent: the check box's text is drawn there.
    brelio::test::CWindowPixels pixels;
    ASSERT_TRUE(pixels.Capture(host));
    const RECT check = brelio::test::PlaceIn(host, page.GetDlgItem(IDC_TEST_CHECK));
    EXPECT_GE(pixels.CountDrawn(check, ::GetSysColor(COLOR_3DFACE)), 50);
    host.DestroyWindow();
    EXPECT_EQ(page.finals, 1);
    EXPECT_EQ(page.m_hWnd, nullptr);
}

TEST(DialogImpl, MissingTemplateIsAFailureNotACrash) {
    CMissingDialog dialog;
    EXPECT_EQ(dialog.DoModal(nullptr), -1);
    EXPECT_EQ(dialog.Create(nullptr), nullptr);
    EXPECT_EQ(dialog.m_hWnd, nullptr);
}
