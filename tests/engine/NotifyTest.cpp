#include <gtest/gtest.h>

#include <string>

#include "BrelioApp/DriveApp.h"
#include "BrelioApp/StringIds.h"
#include "BrelioCore/StringTable.h"
#include "BrelioSync/SyncItem.h"
#include "BrelioSync/SyncManager.h"
#include "MessageView.h"
#include "StringInLanguage.h"

using namespace brelio::test;

namespace {

class Notify : public ::testing::Test {
protected:
    void SetUp() override {
        m_manager.SetNotifyView(&m_panel);
        CDriveApp::GetInstance()->SetMainFrame(&m_frame);
    }
    void TearDown() override { CDriveApp::GetInstance()->SetMainFrame(nullptr); }

    CMessageView m_panel;
    CMessageView m_frame;
    CSyncManager m_manager{*CDriveApp::GetInstance()};
};

TEST_F(Notify, ResultsBecomeDoneOrFailedItems) {
    m_manager.NotifyResult(L"C:\\Sync\\a.txt", false, S_OK);
    m_manager.NotifyResult(L"C:\\Sync\\b", true, E_FAIL);
    m_manager.PostItem(L"C:\\Sync\\c.txt", false, SYNC_ITEM_IN_PROGRESS);
    const auto items = m_panel.Drain();
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0].kind, SYNC_ITEM_DONE);
    EXPECT_EQ(items[0].path, L"C:\\Sync\\a.txt");
    EXPECT_EQ(items[1].kind, SYNC_ITEM_FAILED);
    EXPECT_TRUE(items[1].isFolder);
    EXPECT_EQ(items[2].kind, SYNC_ITEM_IN_PROGRESS);
    EXPECT_TRUE(m_frame.Drain().empty());
}

TEST_F(Notify, SessionErrorGoesToTheMainFrameInsteadOfTheList) {
    for (const uint32_t code : {0xA0000010u, 0xA0000011u, 0xA0000012u}) {
        m_manager.NotifyResult(L"C:\\Sync\\a.txt", false, static_cast<HRESULT>(code));
        const auto frame = m_frame.Drain();
        ASSERT_EQ(frame.size(), 1u);
        EXPECT_EQ(frame[0].what, SYNCITEM_SIGN_OUT);
        EXPECT_EQ(static_cast<uint32_t>(frame[0].code), code);
    }
    EXPECT_TRUE(m_panel.Drain().empty());
    m_manager.NotifyResult(L"C:\\Sync\\a.txt", false, static_cast<HRESULT>(0xA0000013));
    EXPECT_EQ(m_panel.Drain().size(), 1u) << "the next code is an ordinary failure";
}

TEST_F(Notify, SessionErrorWithoutAFrameIsDropped) {
    CDriveApp::GetInstance()->SetMainFrame(nullptr);
    EXPECT_FALSE(m_manager.NotifyResult(L"x", false, static_cast<HRESULT>(0xA0000011)));
    EXPECT_FALSE(CDriveApp::GetInstance()->PostToMainFrame(WM_SYNCITEM, SYNCITEM_SIGN_OUT, 0));
}

TEST_F(Notify, StatusTextsComeFromTheStringTable) {
    m_manager.NotifyStatus(IDS_SYNC_STARTED);
    m_manager.NotifyStatus(31999);
    const auto items = m_panel.Drain();
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].kind, SYNC_ITEM_STATUS);
    EXPECT_FALSE(items[0].path.empty());
    EXPECT_EQ(items[0].path, LoadStringText(IDS_SYNC_STARTED));
    EXPECT_EQ(items[1].path, L"") << "a missing id gives an empty text";
}

TEST(StringTable, EveryIdHasATextAndTheConflictFormatIsExact) {
    for (const UINT id : {IDS_TRAY_TIP, IDS_APP_TITLE, IDS_SYNC_STARTED, IDS_SYNC_COMPLETED, IDS_CONFIRM_SIGN_OUT,
                          IDS_KEEP_SYNC_DATA, IDS_CONFLICT_COPY_NAME, IDS_SYNC_FOLDER_GONE, IDS_SYNC_INCOMPLETE,
                          IDS_WRONG_TENANT, IDS_INIT_FAILED, IDS_SIGN_IN_SETTINGS_WRONG, IDS_DRIVE_SERVICE_DISABLED})
        EXPECT_FALSE(LoadStringText(id).empty()) << id;
    EXPECT_EQ(LoadStringText(IDS_CONFLICT_COPY_NAME), L"%s(conflicted and copied from %s %s)%s");
    EXPECT_EQ(LoadStringText(IDS_APP_TITLE), L"Brelio! Drive");
}

TEST(StringTable, KoreanAndJapaneseTexts) {
    EXPECT_EQ(StringInLanguage(IDS_SYNC_COMPLETED, MAKELANGID(LANG_KOREAN, SUBLANG_KOREAN)), L"동기화를 완료했습니다.");
    EXPECT_EQ(StringInLanguage(IDS_SYNC_COMPLETED, MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT)), L"同期が完了しました。");
    for (const UINT id : {IDS_SYNC_STARTED, IDS_SYNC_FOLDER_GONE, IDS_SYNC_INCOMPLETE, IDS_DRIVE_SERVICE_DISABLED}) {
        const std::wstring korean = StringInLanguage(id, MAKELANGID(LANG_KOREAN, SUBLANG_KOREAN));
        const std::wstring japanese = StringInLanguage(id, MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT));
        EXPECT_FALSE(korean.empty()) << id;
        EXPECT_FALSE(japanese.empty()) << id;
        EXPECT_NE(korean, japanese) << id;
    }
}

TEST(SyncItem, LongPathsAreCutAt260) {
    const std::wstring path(300, L'p');
    CSyncItem item(path.c_str(), false, SYNC_ITEM_DONE);
    EXPECT_EQ(std::wstring(item.GetPath()), path.substr(0, 260));
    EXPECT_EQ(item.GetIconIndex(), -1);
    EXPECT_TRUE(item.GetDisplayText().empty());
    EXPECT_GT(item.GetCreated(), 0);
}

TEST(SyncItem, PostWithoutAViewKeepsNothing) {
    CSyncManager manager(*CDriveApp::GetInstance());
    EXPECT_FALSE(manager.PostItem(L"a", false, SYNC_ITEM_DONE));
}

}  // namespace
