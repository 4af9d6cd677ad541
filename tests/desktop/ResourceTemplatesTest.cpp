// What the three deliverables carry: the program's dialogs and menu open
// from their templates, the update library's texts and progress dialog,
// and the shell extension's registration scripts and type library.
#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <string>

#include "BrelioApp/ResourceIds.h"
#include "BrelioCore/ComPtr.h"
#include "BrelioCore/UniqueHandle.h"
#include "BrelioFramework/Module.h"
#include "WindowPixels.h"

namespace {

INT_PTR CALLBACK QuietDialog(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

// A part a dialog must show on screen: the control of that id, or for 0
// its static picture of that type (SS_ICON, SS_BITMAP); at least so many
// of its pixels near a colour, or for CLR_INVALID off the dialog's face.
struct Shows {
    int control;
    DWORD pictureType;
    COLORREF colour;
    int atLeast;
};

struct Template {
    UINT id;
    const wchar_t* name;
    bool child;
    std::initializer_list<int> controls;
    std::initializer_list<Shows> shows;
};

constexpr COLORREF kBrand = RGB(71, 87, 196);  // the program icon, the folder page's cloud

HWND PictureOf(HWND dialog, DWORD type) {
    for (HWND child = ::GetWindow(dialog, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
        if ((static_cast<DWORD>(::GetWindowLongW(child, GWL_STYLE)) & SS_TYPEMASK) == type) return child;
    }
    return nullptr;
}

// The parts as drawn, in a capture of `shot` (the dialog or its parent).
void ExpectShown(HWND shot, HWND dialog, std::initializer_list<Shows> shows) {
    brelio::test::CWindowPixels pixels;
    ASSERT_TRUE(pixels.Capture(shot));
    const COLORREF face = ::GetSysColor(COLOR_3DFACE);
    for (const Shows& part : shows) {
        const HWND control = part.control != 0 ? ::GetDlgItem(dialog, part.control) : PictureOf(dialog, part.pictureType);
        ASSERT_NE(control, nullptr) << part.control;
        const RECT place = brelio::test::PlaceIn(shot, control);
        const int counted = part.colour == CLR_INVALID ? pixels.CountDrawn(place, face)
                                                        : pixels.CountNear(place, part.colour, 16);
        EXPECT_GE(counted, part.atLeast) << "control " << part.control << ", picture " << part.pictureType;
    }
}

std::wstring LoadText(HMODULE module, UINT id) {
    const wchar_t* text = nullptr;
    const int length = ::LoadStringW(module, id, reinterpret_cast<LPWSTR>(&text), 0);
    return length > 0 ? std::wstring(text, static_cast<size_t>(length)) : std::wstring();
}

}  // namespace

TEST(ProgramResources, EveryDialogOpensFromItsTemplateWithItsControls) {
    const Template templates[] = {
        {IDD_ABOUT, L"dialog-about", false, {IDC_ABOUT_VERSION, IDOK},
         {{0, SS_ICON, kBrand, 400}, {IDC_ABOUT_VERSION, 0, CLR_INVALID, 50}, {IDOK, 0, CLR_INVALID, 50}}},
        {IDD_FOLDER_OPTIONS, L"dialog-folder-page", true,
         {IDC_ALL_FOLDERS, IDC_SELECTED_FOLDERS, IDC_CHOOSE_FOLDERS, IDC_ROOT_FOLDER, IDC_CHANGE_FOLDER},
         {{0, SS_BITMAP, kBrand, 800}, {IDC_ALL_FOLDERS, 0, CLR_INVALID, 50}, {IDC_CHANGE_FOLDER, 0, CLR_INVALID, 50}}},
        {IDD_LOGIN_OPTIONS, L"dialog-login-page", true, {IDC_ACCOUNT, IDC_LOG_OUT, IDC_KEEP_LOGIN, IDC_AUTO_START},
         {{IDC_LOG_OUT, 0, CLR_INVALID, 50}, {IDC_KEEP_LOGIN, 0, CLR_INVALID, 50}, {IDC_AUTO_START, 0, CLR_INVALID, 50}}},
        {IDD_REMOTE_FOLDERS, L"dialog-remote-folders", false, {IDC_FOLDER_TREE, IDOK, IDCANCEL},
         {{IDC_FOLDER_TREE, 0, RGB(255, 255, 255), 10000}, {IDOK, 0, CLR_INVALID, 50}, {IDCANCEL, 0, CLR_INVALID, 50}}},
    };
    brelio::UniqueWindow parent(::CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 700, 500, nullptr,
                                                  nullptr, nullptr, nullptr));
    ASSERT_TRUE(parent);
    for (const Template& t : templates) {
        brelio::UniqueWindow dialog(::CreateDialogParamW(ATL::GetModuleInstance(), MAKEINTRESOURCEW(t.id),
                                                         t.child ? parent.Get() : nullptr, QuietDialog, 0));
        ASSERT_TRUE(dialog) << t.id;
        for (int control : t.controls) EXPECT_NE(::GetDlgItem(dialog.Get(), control), nullptr) << t.id << " " << control;
        ::ShowWindow(dialog.Get(), SW_SHOW);
        const HWND shot = t.child ? parent.Get() : dialog.Get();
        EXPECT_FALSE(brelio::test::SaveWindowShot(shot, t.name).empty()) << t.id;
        SCOPED_TRACE(testing::Message() << "dialog " << t.id);
        ExpectShown(shot, dialog.Get(), t.shows);
    }
}

TEST(ProgramResources, TrayMenuHoldsItsCommandsInOrder) {
    brelio::UniqueMenu menu(::LoadMenuW(ATL::GetModuleInstance(), MAKEINTRESOURCEW(IDR_TRAY_MENU)));
    ASSERT_TRUE(menu);
    const HMENU popup = ::GetSubMenu(menu.Get(), 0);
    ASSERT_NE(popup, nullptr);
    const UINT expected[] = {ID_TRAY_OPEN, ID_TRAY_FULL_SYNC, ID_TRAY_PARTIAL_SYNC, 0, ID_APP_ABOUT, ID_APP_EXIT,
                             ID_TRAY_AUTO_TEST};
    ASSERT_EQ(::GetMenuItemCount(popup), static_cast<int>(std::size(expected)));
    for (int i = 0; i < static_cast<int>(std::size(expected)); ++i) {
        EXPECT_EQ(::GetMenuItemID(popup, i), expected[i]) << i;
    }
}

TEST(UpdateLibraryResources, TextsInKoreanAndJapaneseAndTheProgressDialog) {
    brelio::UniqueModule library(::LoadLibraryExW(BRELIO_UPDATE_LIBRARY, nullptr, LOAD_LIBRARY_AS_DATAFILE));
    ASSERT_TRUE(library);
    EXPECT_EQ(LoadText(library.Get(), 101), L"Brelio! Update");
    for (UINT id : {1000u, 4000u, 4001u, 4002u, 8000u, 8001u}) EXPECT_FALSE(LoadText(library.Get(), id).empty()) << id;
    // Each text exists in both languages.
    for (LANGID language : {MAKELANGID(LANG_KOREAN, SUBLANG_KOREAN), MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT)}) {
        EXPECT_NE(::FindResourceExW(library.Get(), RT_STRING, MAKEINTRESOURCEW(4000 / 16 + 1), language), nullptr);
        EXPECT_NE(::FindResourceExW(library.Get(), RT_DIALOG, MAKEINTRESOURCEW(103), language), nullptr);
    }
    EXPECT_NE(::FindResourceW(library.Get(), MAKEINTRESOURCEW(2), RT_MANIFEST), nullptr);
}

TEST(ShellExtensionResources, ScriptsAndTypeLibraryOfTheThreeHandlers) {
    brelio::UniqueModule library(::LoadLibraryExW(BRELIO_SHELLEXT_LIBRARY, nullptr, LOAD_LIBRARY_AS_DATAFILE));
    ASSERT_TRUE(library);
    for (UINT id : {101u, 106u, 107u, 108u}) {
        EXPECT_NE(::FindResourceW(library.Get(), MAKEINTRESOURCEW(id), L"REGISTRY"), nullptr) << id;
    }
    brelio::ComPtr<ITypeLib> typeLib;
    ASSERT_EQ(::LoadTypeLibEx(BRELIO_SHELLEXT_LIBRARY, REGKIND_NONE, typeLib.Put()), S_OK);
    brelio::UniqueBstr name;
    ASSERT_EQ(typeLib->GetDocumentation(-1, name.Put(), nullptr, nullptr, nullptr), S_OK);
    EXPECT_STREQ(name.Get(), L"BrelioShellExtLib");
    int coclasses = 0;
    int interfaces = 0;
    for (UINT i = 0; i < typeLib->GetTypeInfoCount(); ++i) {
        TYPEKIND kind;
        typeLib->GetTypeInfoType(i, &kind);
        coclasses += kind == TKIND_COCLASS;
        interfaces += kind == TKIND_INTERFACE;
    }
    EXPECT_EQ(coclasses, 3);
    EXPECT_EQ(interfaces, 3);
}
