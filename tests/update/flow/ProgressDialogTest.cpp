// The progress dialog of a download: shown while the cabinet arrives and
// unpacks, with the status of each step, and gone afterwards.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "BoxAnswerer.h"
#include "BrelioCore/TextConvert.h"
#include "BrelioCore/UniqueHandle.h"
#include "BrelioUpdate/ProgressDlg.h"
#include "BrelioUpdate/UpdateManager.h"
#include "BrelioUpdate/UpdateResourceIds.h"
#include "UpdateFixtures.h"
#include "UpdateFlowTest.h"
#include "WindowPixels.h"

namespace brelio::test {
namespace {

std::wstring StatusOf(HWND dialog) {
    wchar_t text[512] = L"";
    ::GetDlgItemTextW(dialog, IDC_UPDATE_STATUS, text, 512);
    return text;
}

// Centred on its monitor's work area, as a dialog without owner is.
::testing::AssertionResult IsCentredOnWorkArea(HWND dialog) {
    RECT window = {};
    ::GetWindowRect(dialog, &window);
    MONITORINFO monitor = {sizeof(monitor), {}, {}, 0};
    ::GetMonitorInfoW(::MonitorFromWindow(dialog, MONITOR_DEFAULTTONEAREST), &monitor);
    const LONG dx = (window.left + window.right) / 2 - (monitor.rcWork.left + monitor.rcWork.right) / 2;
    const LONG dy = (window.top + window.bottom) / 2 - (monitor.rcWork.top + monitor.rcWork.bottom) / 2;
    if (dx >= -1 && dx <= 1 && dy >= -1 && dy <= 1) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "off centre by " << dx << ", " << dy;
}

void PumpMessages() {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
}

TEST(ProgressDlg, ShowsItsStatusOverARunningMarquee) {
    CProgressDlg dialog;
    ASSERT_TRUE(dialog.Open(L"first"));
    EXPECT_TRUE(::IsWindowVisible(dialog.m_hWnd));
    EXPECT_EQ(StatusOf(dialog.m_hWnd), L"first");
    EXPECT_TRUE(::GetWindowLongW(::GetDlgItem(dialog.m_hWnd, IDC_UPDATE_PROGRESS), GWL_STYLE) & PBS_MARQUEE);
    EXPECT_TRUE(IsCentredOnWorkArea(dialog.m_hWnd));
    dialog.SetStatus(L"second");
    EXPECT_EQ(StatusOf(dialog.m_hWnd), L"second");
    const HWND window = dialog.m_hWnd;
    dialog.Close();
    EXPECT_FALSE(dialog.IsOpen());
    EXPECT_FALSE(::IsWindow(window));
    dialog.SetStatus(L"nothing to show it on");
}

TEST(ProgressDlg, EscapeHidesItWithoutStoppingTheUpdate) {
    CProgressDlg dialog;
    ASSERT_TRUE(dialog.Open(L"first"));
    ::PostMessageW(dialog.m_hWnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    PumpMessages();
    EXPECT_TRUE(dialog.IsOpen());
    EXPECT_FALSE(::IsWindowVisible(dialog.m_hWnd));
}

// Watches the download's dialog from inside the download: the manager
// drains this thread's messages while it works, so a message posted before
// the download is handled while the dialog is up.
class CDialogWatch {
public:
    CDialogWatch() {
        s_watch = this;
        m_window.Reset(::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr));
        ::SetWindowLongPtrW(m_window.Get(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WatchProc));
        ::PostMessageW(m_window.Get(), kLook, 0, 0);
    }
    ~CDialogWatch() {
        m_window.Reset();
        s_watch = nullptr;
    }

    HWND dialog = nullptr;
    bool centred = false;
    std::wstring shot;
    // The status line's texts in order, the first one as found.
    std::vector<std::wstring> statuses;

private:
    static constexpr UINT kLook = WM_APP + 1;

    static LRESULT CALLBACK WatchProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == kLook && s_watch != nullptr) s_watch->Look();
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
    // Every later text of the status line, as it is set.
    static LRESULT CALLBACK StatusProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_SETTEXT && s_watch != nullptr)
            s_watch->statuses.push_back(reinterpret_cast<const wchar_t*>(lParam));
        return ::CallWindowProcW(s_statusProc, window, message, wParam, lParam);
    }

    void Look() {
        dialog = ::FindWindowW(L"#32770", L"Brelio! Update");
        if (dialog == nullptr) return;
        statuses.push_back(StatusOf(dialog));
        centred = IsCentredOnWorkArea(dialog);
        shot = SaveWindowShot(dialog, L"update-progress");
        s_statusProc = reinterpret_cast<WNDPROC>(::SetWindowLongPtrW(
            ::GetDlgItem(dialog, IDC_UPDATE_STATUS), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&StatusProc)));
    }

    UniqueWindow m_window;
    static inline CDialogWatch* s_watch = nullptr;
    static inline WNDPROC s_statusProc = nullptr;
};

using ProgressDuringDownload = UpdateFlowTest;

TEST_F(ProgressDuringDownload, TheDialogShowsEachStepAndCloses) {
    OfferUpdate(RunningVersionRaised(3));
    CUpdateManager manager;
    ASSERT_EQ(manager.CheckVersion(), UpdateCheck::kMinor);
    CDialogWatch watch;
    ASSERT_EQ(manager.Download(), S_OK);

    ASSERT_NE(watch.dialog, nullptr) << "the dialog was up while the thread's messages were drained";
    EXPECT_TRUE(watch.centred);
    EXPECT_NE(watch.shot, L"") << "screenshot in the build folder";
    EXPECT_FALSE(::IsWindow(watch.dialog)) << "gone once the download is done";

    // Downloading, then an empty line, then each file of the cabinet by name.
    ASSERT_GE(watch.statuses.size(), 2u);
    EXPECT_EQ(watch.statuses[0], UpdateString(IDS_UPDATE_DOWNLOADING));
    EXPECT_EQ(watch.statuses[1], L"");
    std::vector<std::wstring> fileStatuses(watch.statuses.begin() + 2, watch.statuses.end());
    std::sort(fileStatuses.begin(), fileStatuses.end());
    std::vector<std::wstring> expected;
    for (const std::wstring& file : ListFiles(FixturePath(L"payload")))
        expected.push_back(UpdateStringWith(IDS_UPDATE_FILE, file));
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(fileStatuses, expected);
}

}  // namespace
}  // namespace brelio::test
