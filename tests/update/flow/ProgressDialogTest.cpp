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

// What a capture of the dialog shows.
struct DialogPixels {
    bool captured = false;
    int statusInk = 0;  // the status line's glyphs
    int strayInk = 0;   // anything drawn below the status line but in the bar
    int block = 0;      // the marquee's block: the bar's pixels of the highlight colour
    int barArea = 0;
    int blockLeft = -1;  // the block's first column in the bar's middle row, -1 for none
};

DialogPixels CaptureDialog(HWND dialog) {
    DialogPixels seen;
    CWindowPixels pixels;
    seen.captured = pixels.Capture(dialog);
    if (!seen.captured) return seen;
    const COLORREF face = ::GetSysColor(COLOR_3DFACE);
    const COLORREF highlight = ::GetSysColor(COLOR_HIGHLIGHT);
    const RECT status = PlaceIn(dialog, ::GetDlgItem(dialog, IDC_UPDATE_STATUS));
    const RECT bar = PlaceIn(dialog, ::GetDlgItem(dialog, IDC_UPDATE_PROGRESS));
    seen.statusInk = pixels.CountDrawn(status, face);
    seen.strayInk = pixels.CountDrawn({0, status.bottom, pixels.Width(), bar.top}, face) +
                    pixels.CountDrawn({0, bar.bottom, pixels.Width(), pixels.Height()}, face);
    seen.block = pixels.CountNear(bar, highlight, 16);
    seen.barArea = (bar.right - bar.left) * (bar.bottom - bar.top);
    for (int x = bar.left; x < bar.right && seen.blockLeft < 0; ++x)
        if (pixels.CountNear({x, (bar.top + bar.bottom) / 2, x + 1, (bar.top + bar.bottom) / 2 + 1}, highlight, 16))
            seen.blockLeft = x - bar.left;
    return seen;
}

// A block of the marquee, not a filled bar, with the status line drawn
// in its place and nothing else.
void ExpectStatusOverMarquee(const DialogPixels& seen) {
    ASSERT_TRUE(seen.captured);
    EXPECT_GE(seen.statusInk, 20) << "the status text";
    EXPECT_EQ(seen.strayInk, 0) << "nothing drawn outside the two parts";
    EXPECT_GE(seen.block, 10) << "the marquee's block";
    EXPECT_LT(seen.block, seen.barArea / 4) << "a block, not a filled bar";
    EXPECT_GE(seen.blockLeft, 0);
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
    const DialogPixels first = CaptureDialog(dialog.m_hWnd);
    ExpectStatusOverMarquee(first);
    // The marquee runs on the dialog's thread: its block moves on while
    // the thread handles its messages.
    DialogPixels later = first;
    const ULONGLONG deadline = ::GetTickCount64() + 10000;
    while (later.blockLeft == first.blockLeft && ::GetTickCount64() < deadline) {
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        PumpMessages();
        later = CaptureDialog(dialog.m_hWnd);
    }
    EXPECT_NE(later.blockLeft, first.blockLeft) << "the marquee runs";
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
    DialogPixels pixels;
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
        pixels = CaptureDialog(dialog);
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
    // What the shot shows: the downloading line over the marquee.
    ExpectStatusOverMarquee(watch.pixels);
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
