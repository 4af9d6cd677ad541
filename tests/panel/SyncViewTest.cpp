#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "BrelioApp/DriveApp.h"
#include "BrelioApp/EmbeddedFont.h"
#include "BrelioApp/StringIds.h"
#include "BrelioApp/SyncView.h"
#include "BrelioApp/WebAddress.h"
#include "BrelioCore/StringTable.h"
#include "BrelioCore/TextConvert.h"
#include "BrelioCore/UniqueHandle.h"
#include "BrelioFramework/Module.h"
#include "BrelioSync/SyncItem.h"
#include "ItemTracking.h"
#include "StringInLanguage.h"
#include "TempFolder.h"
#include "WindowPixels.h"

using namespace brelio::test;

namespace {

using LineList = std::vector<std::pair<std::wstring, int32_t>>;

struct Post {
    std::wstring path;
    int32_t kind;
    bool folder = false;
};

// The main frame's stand-in: a top-level window that holds the panel over
// its client area and notes what is posted to it as the main frame.
class CPanelFrame : public ATL::CWindowImpl<CPanelFrame, ATL::CWindow, ATL::CWinTraits<WS_OVERLAPPEDWINDOW, 0>>,
                    public CJXView {
public:
    DECLARE_WND_CLASS(L"BrelioTest.PanelFrame")
    BEGIN_MSG_MAP(CPanelFrame)
        MESSAGE_HANDLER(WM_COMMAND, OnCommand)
    END_MSG_MAP()

    HWND Create(int width, int height) {
        RECT rect = {0, 0, width, height};
        return ATL::CWindowImpl<CPanelFrame, ATL::CWindow, ATL::CWinTraits<WS_OVERLAPPEDWINDOW, 0>>::Create(
            nullptr, rect, L"panel");
    }
    HWND GetViewWindow() const override { return m_hWnd; }
    ~CPanelFrame() override {
        if (m_hWnd != nullptr) DestroyWindow();
    }

    std::vector<std::pair<WPARAM, LPARAM>> commands;

private:
    LRESULT OnCommand(UINT, WPARAM wParam, LPARAM lParam, BOOL& handled) {
        if (lParam != 0) {
            handled = FALSE;  // from a child
            return 0;
        }
        commands.emplace_back(wParam, lParam);
        return 0;
    }
};

// The panel, with what it hands to the shell noted instead of opened.
class CRecordingSyncView : public CSyncView {
public:
    std::vector<std::pair<std::wstring, std::wstring>> opened;  // verb, target

protected:
    void OpenWithShell(const wchar_t* verb, const std::wstring& target) override { opened.emplace_back(verb, target); }
};

class PanelSyncView : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(LoadEmbeddedFont(m_font, ATL::GetModuleInstance()), S_OK);
        ASSERT_NE(m_frame.Create(560, 720), nullptr);
        RECT client;
        m_frame.GetClientRect(&client);
        ASSERT_NE(m_view.Create(m_frame, client), nullptr);
        m_frame.ShowWindow(SW_SHOW);
        ResetTracking();
    }
    void TearDown() override {
        m_frame.DestroyWindow();
        UnloadEmbeddedFont(m_font);
    }

    // Posts the items from a thread of their own, as the sync thread does,
    // then lets the panel take them.
    void PostFromAnotherThread(const std::vector<Post>& posts) {
        const HWND view = m_view.GetViewWindow();
        std::thread sender([&posts, view] {
            for (const Post& post : posts) {
                auto* item = new CSyncItem(post.path.c_str(), post.folder, post.kind);
                TrackBlock(item);
                if (!::PostMessageW(view, WM_SYNCITEM, SYNCITEM_ITEM, reinterpret_cast<LPARAM>(item))) delete item;
            }
        });
        sender.join();
        PumpMessages();
    }
    static void PumpMessages() {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
    LineList Lines() {
        LineList lines;
        CSyncListView& list = m_view.GetList();
        for (int i = 0; i < list.GetItemCount(); ++i) {
            CSyncItem* item = list.GetSyncItem(i);
            lines.emplace_back(item->GetPath(), item->GetKind());
        }
        return lines;
    }

    brelio::UniqueFontMemResource m_font;
    CPanelFrame m_frame;
    CRecordingSyncView m_view;
};

}  // namespace

TEST_F(PanelSyncView, ItemsOfEveryKindBecomeLinesWithNameTimeIconAndState) {
    PostFromAnotherThread({{L"C:\\S\\report.pdf", SYNC_ITEM_IN_PROGRESS},
                           {L"C:\\S\\report.pdf", SYNC_ITEM_DONE},
                           {L"C:\\S\\photos", SYNC_ITEM_DONE, true},
                           {L"C:\\S\\broken.txt", SYNC_ITEM_FAILED},
                           {L"C:\\S\\movie.mp4", SYNC_ITEM_IN_PROGRESS}});
    EXPECT_EQ(Lines(), (LineList{{L"C:\\S\\report.pdf", SYNC_ITEM_DONE},
                              {L"C:\\S\\photos", SYNC_ITEM_DONE},
                              {L"C:\\S\\broken.txt", SYNC_ITEM_FAILED},
                              {L"C:\\S\\movie.mp4", SYNC_ITEM_IN_PROGRESS}}));
    CWindowPixels pixels;
    ASSERT_TRUE(pixels.Capture(m_view.GetList()));  // the lines are drawn
    CSyncListView& list = m_view.GetList();
    const wchar_t* const names[] = {L"report.pdf", L"photos", L"broken.txt", L"movie.mp4"};
    for (int i = 0; i < list.GetItemCount(); ++i) {
        CSyncItem* item = list.GetSyncItem(i);
        const std::wstring& text = CSyncListView::DisplayTextOf(*item);
        EXPECT_EQ(text, std::wstring(names[i]) + L"\t" + CSyncListView::FormatTime(item->GetCreated()));
        EXPECT_NE(item->GetIconIndex(), -1) << "looked up when the line was drawn";
    }
    EXPECT_NE(list.GetSyncItem(0)->GetIconIndex(), list.GetSyncItem(1)->GetIconIndex()) << "a PDF and a folder";
    EXPECT_EQ(TrackedAlive(), 4u) << "the result that replaced its line was freed";
}

TEST_F(PanelSyncView, AResultReplacesOnlyTheLastLineWhenItIsTheSameItemInProgress) {
    struct Case {
        const char* what;
        std::vector<Post> posts;
        LineList lines;
    };
    const Case cases[] = {
        {"in progress, then done in other letter case",
         {{L"C:\\S\\a.txt", SYNC_ITEM_IN_PROGRESS}, {L"C:\\S\\A.TXT", SYNC_ITEM_DONE}},
         {{L"C:\\S\\a.txt", SYNC_ITEM_DONE}}},
        {"only the last line is matched",
         {{L"C:\\S\\a.txt", SYNC_ITEM_IN_PROGRESS}, {L"C:\\S\\b.txt", SYNC_ITEM_IN_PROGRESS},
          {L"C:\\S\\a.txt", SYNC_ITEM_DONE}},
         {{L"C:\\S\\a.txt", SYNC_ITEM_IN_PROGRESS}, {L"C:\\S\\b.txt", SYNC_ITEM_IN_PROGRESS},
          {L"C:\\S\\a.txt", SYNC_ITEM_DONE}}},
        {"a failure with nothing in progress",
         {{L"C:\\S\\gone.txt", SYNC_ITEM_FAILED}},
         {{L"C:\\S\\gone.txt", SYNC_ITEM_FAILED}}},
        {"a result never replaces a finished line",
         {{L"C:\\S\\a.txt", SYNC_ITEM_DONE}, {L"C:\\S\\a.txt", SYNC_ITEM_FAILED}},
         {{L"C:\\S\\a.txt", SYNC_ITEM_DONE}, {L"C:\\S\\a.txt", SYNC_ITEM_FAILED}}},
    };
    for (const Case& c : cases) {
        m_view.DeleteAllItems();
        PostFromAnotherThread(c.posts);
        EXPECT_EQ(Lines(), c.lines) << c.what;
    }
    // The replaced line keeps the in-progress item, its name and time.
    m_view.DeleteAllItems();
    ResetTracking();
    PostFromAnotherThread({{L"C:\\S\\a.txt", SYNC_ITEM_IN_PROGRESS}});
    CSyncItem* first = m_view.GetList().GetSyncItem(0);
    PostFromAnotherThread({{L"C:\\S\\A.TXT", SYNC_ITEM_DONE}});
    EXPECT_EQ(m_view.GetList().GetSyncItem(0), first);
    EXPECT_EQ(TrackedAlive(), 1u);
}

TEST_F(PanelSyncView, TheStatusBarFollowsStatusMessagesAndWorkInProgressOnly) {
    constexpr WORD kKorean = MAKELANGID(LANG_KOREAN, SUBLANG_KOREAN);
    constexpr WORD kJapanese = MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT);
    struct Case {
        const char* what;
        Post post;
        std::wstring expected;  // %s: the time
    };
    const Case cases[] = {
        {"a status message loses its final dots", {L"Sync completed...", SYNC_ITEM_STATUS}, L"Sync completed(%s)."},
        {"a status message without dots", {L"동기화를 시작했습니다", SYNC_ITEM_STATUS}, L"동기화를 시작했습니다(%s)."},
        // The engine's own messages, each ending in its language's full stop,
        // which goes as the Latin one does: "。(…)." would stop twice.
        {"the Korean completion", {StringInLanguage(IDS_SYNC_COMPLETED, kKorean), SYNC_ITEM_STATUS},
         L"동기화를 완료했습니다(%s)."},
        {"the Japanese completion", {StringInLanguage(IDS_SYNC_COMPLETED, kJapanese), SYNC_ITEM_STATUS},
         L"同期が完了しました(%s)."},
        {"the Japanese start", {StringInLanguage(IDS_SYNC_STARTED, kJapanese), SYNC_ITEM_STATUS},
         L"同期を開始しました(%s)."},
        {"a run of Japanese full stops", {L"同期が完了しました。。", SYNC_ITEM_STATUS}, L"同期が完了しました(%s)."},
        {"work in progress", {L"C:\\S\\a.txt", SYNC_ITEM_IN_PROGRESS}, LoadStringText(IDS_SYNC_IN_PROGRESS)},
    };
    for (const Case& c : cases) {
        const std::wstring before = CSyncListView::FormatTime(_time64(nullptr));
        PostFromAnotherThread({c.post});
        const std::wstring after = CSyncListView::FormatTime(_time64(nullptr));
        std::wstring early(c.expected);
        std::wstring late(c.expected);
        early.replace(early.find(L"%s"), 2, before);
        late.replace(late.find(L"%s"), 2, after);
        const std::wstring shown = m_view.GetStatusBar().GetText();
        EXPECT_TRUE(shown == early || shown == late) << c.what << ": " << brelio::WideToUtf8(shown);
    }
    const std::wstring status = m_view.GetStatusBar().GetText();
    PostFromAnotherThread({{L"C:\\S\\a.txt", SYNC_ITEM_DONE}, {L"C:\\S\\b.txt", SYNC_ITEM_FAILED}});
    EXPECT_EQ(m_view.GetStatusBar().GetText(), status) << "results leave the status bar alone";
    EXPECT_EQ(Lines(), (LineList{{L"C:\\S\\a.txt", SYNC_ITEM_DONE}, {L"C:\\S\\b.txt", SYNC_ITEM_FAILED}}))
        << "status messages add no line";
}

// A warning (the sync folder missing or empty, a pass left incomplete)
// stays in the status bar through the passes that follow, their start and
// their work, until one of them completes.
TEST_F(PanelSyncView, AWarningStaysInTheStatusBarUntilAPassCompletes) {
    auto status = [](UINT id) { return Post{LoadStringText(id), SYNC_ITEM_STATUS}; };
    // How the bar's text begins: a status without its final stops, or the
    // work-in-progress text up to its time.
    auto shownAs = [](UINT id) {
        std::wstring text = LoadStringText(id);
        if (id == IDS_SYNC_IN_PROGRESS) return text.substr(0, text.find(L"%s"));
        while (!text.empty() && (text.back() == L'.' || text.back() == L'\u3002')) text.pop_back();
        return text + L"(";
    };
    struct Case {
        const char* what;
        Post post;
        UINT shown;
    };
    const Case cases[] = {
        {"a pass starts", status(IDS_SYNC_STARTED), IDS_SYNC_STARTED},
        {"it ends refused", status(IDS_SYNC_FOLDER_GONE), IDS_SYNC_FOLDER_GONE},
        {"the next pass starts", status(IDS_SYNC_STARTED), IDS_SYNC_FOLDER_GONE},
        {"and works", {L"C:\\S\\a.txt", SYNC_ITEM_IN_PROGRESS}, IDS_SYNC_FOLDER_GONE},
        {"and ends incomplete", status(IDS_SYNC_INCOMPLETE), IDS_SYNC_INCOMPLETE},
        {"another pass starts", status(IDS_SYNC_STARTED), IDS_SYNC_INCOMPLETE},
        {"and completes", status(IDS_SYNC_COMPLETED), IDS_SYNC_COMPLETED},
        {"then a pass starts as ever", status(IDS_SYNC_STARTED), IDS_SYNC_STARTED},
        {"and its work shows", {L"C:\\S\\b.txt", SYNC_ITEM_IN_PROGRESS}, IDS_SYNC_IN_PROGRESS},
    };
    for (const Case& c : cases) {
        PostFromAnotherThread({c.post});
        const std::wstring shown = m_view.GetStatusBar().GetText();
        EXPECT_EQ(shown.rfind(shownAs(c.shown), 0), 0u) << c.what;
    }
}

TEST_F(PanelSyncView, EveryItemIsFreedWhenTheListIsEmptiedOrThePanelGoes) {
    const std::vector<Post> posts = {{L"C:\\S\\a.txt", SYNC_ITEM_IN_PROGRESS},
                                     {L"C:\\S\\a.txt", SYNC_ITEM_DONE},
                                     {L"status.", SYNC_ITEM_STATUS},
                                     {L"C:\\S\\b", SYNC_ITEM_FAILED, true},
                                     {L"C:\\S\\c.zip", SYNC_ITEM_IN_PROGRESS}};
    PostFromAnotherThread(posts);
    EXPECT_EQ(TrackedAlive(), 3u);
    m_view.DeleteAllItems();
    EXPECT_EQ(m_view.GetList().GetItemCount(), 0);
    EXPECT_EQ(TrackedAlive(), 0u);

    ResetTracking();
    PostFromAnotherThread(posts);
    EXPECT_EQ(TrackedAlive(), 3u);
    m_frame.DestroyWindow();
    EXPECT_EQ(TrackedAlive(), 0u) << "the panel's window went with its lines";

    ResetTracking();
    auto* ignored = new CSyncItem(L"C:\\S\\x.txt", false, SYNC_ITEM_DONE);
    TrackBlock(ignored);
    EXPECT_EQ(TrackedAlive(), 1u);
    delete ignored;
}

TEST_F(PanelSyncView, AWideNameWidensTheColumnWhichNeverNarrows) {
    CSyncListView& list = m_view.GetList();
    const int initial = list.GetColumnWidth();
    PostFromAnotherThread({{L"C:\\S\\short.txt", SYNC_ITEM_DONE}});
    EXPECT_EQ(list.GetColumnWidth(), initial);
    const std::wstring wide(120, L'W');
    PostFromAnotherThread({{L"C:\\S\\" + wide + L".txt", SYNC_ITEM_DONE}});
    const int widened = list.GetColumnWidth();
    EXPECT_GT(widened, initial + 74);
    EXPECT_EQ(::SendMessageW(list, LVM_GETCOLUMNWIDTH, 0, 0), widened);
    PostFromAnotherThread({{L"C:\\S\\x.txt", SYNC_ITEM_DONE}});
    EXPECT_EQ(list.GetColumnWidth(), widened);
}

// The list scrolls sideways only for a name wider than itself: a list that
// grew a vertical scroll bar still holds its column.
TEST_F(PanelSyncView, OnlyAWideNameBringsTheHorizontalScrollBar) {
    struct Case {
        const char* what;
        int lines;
        std::wstring name;
        bool vertical;
        bool horizontal;
    };
    const Case cases[] = {
        {"a few short lines", 3, L"a.txt", false, false},
        {"more lines than the list shows", 40, L"a.txt", true, false},
        {"a wide name among many lines", 40, std::wstring(120, L'W') + L".txt", true, true},
    };
    for (const Case& c : cases) {
        m_view.DeleteAllItems();
        std::vector<Post> posts;
        for (int i = 0; i < c.lines; ++i) posts.push_back({L"C:\\S\\" + std::to_wstring(i) + c.name, SYNC_ITEM_DONE});
        PostFromAnotherThread(posts);
        const LONG_PTR style = ::GetWindowLongPtrW(m_view.GetList(), GWL_STYLE);
        EXPECT_EQ((style & WS_VSCROLL) != 0, c.vertical) << c.what;
        EXPECT_EQ((style & WS_HSCROLL) != 0, c.horizontal) << c.what;
    }
}

TEST_F(PanelSyncView, HeaderButtonsAndDoubleClicksOpenWhatTheyShow) {
    CTempFolder root;
    ASSERT_TRUE(root.Create());
    CSettings& settings = CDriveApp::GetInstance()->GetSettings();
    ASSERT_EQ(settings.SetAccount(L"panelco", L"me"), ERROR_SUCCESS);
    ASSERT_EQ(settings.SetRootDir(root.Path().c_str()), S_OK);
    CDriveApp::GetInstance()->SetMainFrame(&m_frame);

    for (UINT id : {CSyncView::kWebButtonId, CSyncView::kFolderButtonId, CSyncView::kOptionsButtonId}) {
        ::SendMessageW(m_view.GetDlgItem(static_cast<int>(id)), BM_CLICK, 0, 0);
    }
    PumpMessages();
    std::wstring drivePage;
    ASSERT_EQ(BuildTenantWebAddress(L"panelco", kDrivePagePath, drivePage), S_OK);
    using Opened = std::vector<std::pair<std::wstring, std::wstring>>;
    EXPECT_EQ(m_view.opened, (Opened{{L"open", drivePage}, {L"explore", settings.GetRootDir()}}));
    ASSERT_EQ(m_frame.commands.size(), 1u);
    EXPECT_EQ(m_frame.commands[0].first, static_cast<WPARAM>(CSyncView::kOptionsButtonId));

    // Double clicks: a file's folder, a folder itself, a folder that is
    // gone, and below the last line.
    ASSERT_TRUE(WriteFileBytes(root / L"a.txt", "a"));
    ASSERT_TRUE(::CreateDirectoryW((root / L"sub").c_str(), nullptr));
    PostFromAnotherThread({{root / L"a.txt", SYNC_ITEM_DONE},
                           {root / L"sub", SYNC_ITEM_DONE, true},
                           {root / L"gone\\b.txt", SYNC_ITEM_DONE}});
    m_view.opened.clear();
    CSyncListView& list = m_view.GetList();
    for (int line = 0; line < 4; ++line) {
        const LPARAM at = MAKELPARAM(80, line * CSyncListView::kLineHeight + CSyncListView::kLineHeight / 2);
        ::SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
        ::SendMessageW(list, WM_LBUTTONUP, 0, at);
        ::SendMessageW(list, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
        ::SendMessageW(list, WM_LBUTTONUP, 0, at);
        PumpMessages();
    }
    EXPECT_EQ(m_view.opened, (Opened{{L"explore", root.Path()}, {L"explore", root / L"sub"}}));

    CDriveApp::GetInstance()->SetMainFrame(nullptr);
    (void)settings.SetAccount(nullptr, nullptr);
}

TEST_F(PanelSyncView, ScreenshotWithKoreanAndJapaneseNames) {
    const wchar_t* const names[] = {L"회의록.docx",      L"分析レポート.xlsx", L"사진", L"プレゼン資料.pptx",
                                    L"여름 휴가.jpg",    L"見積書.pdf",        L"예산안.hwp", L"映像サンプル.mp4",
                                    L"노래.mp3",         L"設計書.txt",        L"archive.zip", L"main.cpp"};
    std::vector<Post> posts;
    for (int i = 0; i < 36; ++i) {
        const std::wstring path = std::wstring(L"C:\\Users\\me\\Brelio\\") + names[i % std::size(names)];
        const bool folder = names[i % std::size(names)] == std::wstring(L"사진");
        posts.push_back({path, SYNC_ITEM_IN_PROGRESS, folder});
        posts.push_back({path, i % 7 == 3 ? SYNC_ITEM_FAILED : SYNC_ITEM_DONE, folder});
    }
    posts.push_back({L"C:\\Users\\me\\Brelio\\새 문서.txt", SYNC_ITEM_IN_PROGRESS});
    posts.push_back({L"동기화를 완료했습니다.", SYNC_ITEM_STATUS});
    PostFromAnotherThread(posts);
    EXPECT_EQ(m_view.GetList().GetItemCount(), 37);
    m_view.GetList().EnsureVisible(0, FALSE);
    EXPECT_FALSE(SaveWindowShot(m_view, L"panel-sync-status").empty());

    // Each line as drawn: the file icon with the badge of its result in
    // the icon's lower right corner, the name and the time beside it, and
    // nothing further right.
    constexpr COLORREF kWhite = RGB(255, 255, 255);
    constexpr COLORREF kDone = RGB(46, 160, 67);
    constexpr COLORREF kFailed = RGB(210, 50, 45);
    CWindowPixels list;
    ASSERT_TRUE(list.Capture(m_view.GetList()));
    const int lineHeight = CSyncListView::kLineHeight;
    for (int line = 0; line < 4; ++line) {
        const std::wstring name = names[line];
        SCOPED_TRACE(brelio::WideToUtf8(name));
        const bool failed = line % 7 == 3;
        const int top = line * lineHeight;
        // The badge's lower half, below the coloured band of the file icon.
        const RECT badge = {14 + 18, top + 14 + 26, 14 + 32, top + 14 + 32};
        EXPECT_GE(list.CountNear(badge, failed ? kFailed : kDone, 24), 20);
        EXPECT_EQ(list.CountNear(badge, failed ? kDone : kFailed, 24), 0);
        EXPECT_GE(list.CountDrawn({14, top + 14, 14 + 18, top + 46}, kWhite), 40) << "the file icon";
        EXPECT_GE(list.CountDrawn({58, top + 13, 58 + 60, top + 33}, kWhite), 30) << "the name";
        EXPECT_GE(list.CountDrawn({58, top + 33, 58 + 60, top + 50}, kWhite), 30) << "the time";
        EXPECT_EQ(list.CountDrawn({260, top + 1, list.Width(), top + lineHeight - 2}, kWhite), 0);
        EXPECT_EQ(list.At(list.Width() / 2, top + lineHeight - 1), RGB(0xEE, 0xEE, 0xEE)) << "the separator";
    }
    // The status message, centred in the status bar.
    CWindowPixels status;
    ASSERT_TRUE(status.Capture(m_view.GetStatusBar()));
    const int w = status.Width();
    const int h = status.Height();
    EXPECT_GE(status.CountDrawn({w / 2 - 60, 2, w / 2 + 60, h - 2}, kWhite), 100);
    EXPECT_EQ(status.CountDrawn({0, 2, 60, h}, kWhite), 0);
    EXPECT_EQ(status.CountDrawn({w - 60, 2, w, h}, kWhite), 0);
}
