// The texts of the options window, its pages and the picker, in both
// languages of the string table.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "BrelioApp/StringIds.h"

namespace {

// One string in one language, read from its resource block: Wine's
// LoadStringW does not follow the thread's UI language.
std::wstring StringInLanguage(UINT id, WORD language) {
    const HMODULE module = ::GetModuleHandleW(nullptr);
    const HRSRC block = ::FindResourceExW(module, RT_STRING, MAKEINTRESOURCEW(id / 16 + 1), language);
    if (block == nullptr) return L"";
    const auto* text = static_cast<const wchar_t*>(::LockResource(::LoadResource(module, block)));
    for (UINT i = 0; i < id % 16; ++i) text += 1 + *text;
    return std::wstring(text + 1, *text);
}

TEST(OptionTexts, KoreanAndJapanese) {
    const struct Case {
        UINT id;
        const wchar_t* korean;
        const wchar_t* japanese;
    } cases[] = {
        {IDS_OPTIONS_TITLE, L"Brelio! Drive 동기화 설정", L"Brelio!ドライブ同期設定"},
        {IDS_NAV_SYNC_SETTINGS, L"동기화 설정", L"同期設定"},
        {IDS_NAV_FOLDERS, L"폴더 선택", L"フォルダ選択"},
        {IDS_NAV_LOGIN, L"로그인 설정", L"ログイン設定"},
        {IDS_BUTTON_OK, L"확인", L"確認"},
        {IDS_BUTTON_CANCEL, L"취소", L"キャンセル"},
        {IDS_CONFIRM_SIGN_OUT, L"로그아웃하시겠습니까?", L"ログアウトしますか？"},
        {IDS_FOLDER_NOT_VALID, L"지정하신 폴더가 올바르지 않습니다.", L"指定されたフォルダが正しくありません。"},
        {IDS_CHOOSE_SYNC_FOLDERS, L"동기화할 폴더를 선택해 주십시오.", L"同期するフォルダを選んでください。"},
        {IDS_SYNC_FOLDER_NOT_SET, L"동기화 폴더를 설정할 수 없습니다.", L"同期フォルダは設定できません。"},
        {IDS_DRIVE_SERVICE_DISABLED, L"드라이브 서비스가 비활성화되었습니다. 관리자에게 문의하십시오.",
         L"ドライブサービスが未使用になっています。 管理者にお問い合わせください。"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        EXPECT_EQ(StringInLanguage(c.id, MAKELANGID(LANG_KOREAN, SUBLANG_KOREAN)), c.korean);
        EXPECT_EQ(StringInLanguage(c.id, MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT)), c.japanese);
    }
}

}  // namespace
