// The one check of a sync folder, as the options window and the program's
// start use it.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>

#include "BrelioServices/PathHelpers.h"
#include "BrelioServices/SyncFolderCheck.h"

namespace {

std::wstring TempFolder() {
    wchar_t temp[MAX_PATH + 1] = L"";
    ::GetTempPathW(MAX_PATH + 1, temp);
    std::wstring path = temp;
    while (!path.empty() && path.back() == L'\\') path.pop_back();
    return path;
}

std::wstring Known(REFKNOWNFOLDERID id) {
    std::wstring path;
    EXPECT_EQ(GetKnownFolder(id, path), S_OK);
    return path;
}

std::wstring Parent(const std::wstring& path) { return path.substr(0, path.rfind(L'\\')); }

TEST(SyncFolderCheck, AcceptsFullPathsAndGivesTheirStoredForm) {
    const std::wstring temp = TempFolder();
    const struct Case {
        std::wstring text;
        std::wstring stored;
    } cases[] = {
        {L"C:\\Sync", L"C:\\Sync"},
        {L"C:\\Sync\\", L"C:\\Sync"},
        {L"C:\\Sync\\\\", L"C:\\Sync"},
        {L"c:/Sync/Work/", L"c:\\Sync\\Work"},
        {L"C:\\Sync\\.\\a\\..\\b", L"C:\\Sync\\b"},
        {L"\\\\server\\share\\Sync", L"\\\\server\\share\\Sync"},
        {temp + L"\\inside", temp + L"\\inside"},  // below a working folder is fine
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.text));
        std::wstring stored = L"unchanged";
        EXPECT_EQ(CheckSyncFolder(c.text, stored), SyncFolderCheck::Accepted);
        EXPECT_EQ(stored, c.stored);
    }
}

TEST(SyncFolderCheck, RefusesWhatCannotBeSynced) {
    const std::wstring temp = TempFolder();
    const std::wstring localAppData = Known(FOLDERID_LocalAppData);
    const struct Case {
        std::wstring text;
        SyncFolderCheck verdict;
    } cases[] = {
        {L"", SyncFolderCheck::NotAbsolute},
        {L"Sync", SyncFolderCheck::NotAbsolute},
        {L".", SyncFolderCheck::NotAbsolute},
        {L"..\\Sync", SyncFolderCheck::NotAbsolute},
        {L"\\Sync", SyncFolderCheck::NotAbsolute},
        {L"C:Sync", SyncFolderCheck::NotAbsolute},
        {L"C:", SyncFolderCheck::NotAbsolute},
        {L"\\\\?\\C:\\Sync", SyncFolderCheck::NotAbsolute},
        {L"\\\\.\\C:\\Sync", SyncFolderCheck::NotAbsolute},
        {L"\\\\server", SyncFolderCheck::NotAbsolute},
        {L"C:\\", SyncFolderCheck::DriveRoot},
        {L"D:/", SyncFolderCheck::DriveRoot},
        {L"C:\\Sync\\..", SyncFolderCheck::DriveRoot},
        {L"\\\\server\\share", SyncFolderCheck::DriveRoot},
        {L"\\\\server\\share\\", SyncFolderCheck::DriveRoot},
        {L"C:\\" + std::wstring(300, L'a'), SyncFolderCheck::TooLong},
        {L"C:\\" + std::wstring(200, L'a') + L"\\" + std::wstring(60, L'b'), SyncFolderCheck::TooLong},
        {localAppData, SyncFolderCheck::HoldsProgramFolders},
        {localAppData + L"\\", SyncFolderCheck::HoldsProgramFolders},
        {Parent(localAppData), SyncFolderCheck::HoldsProgramFolders},
        {Known(FOLDERID_Profile), SyncFolderCheck::HoldsProgramFolders},
        {temp, SyncFolderCheck::HoldsProgramFolders},
        {Parent(temp), SyncFolderCheck::HoldsProgramFolders},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.text));
        std::wstring stored = L"unchanged";
        EXPECT_EQ(CheckSyncFolder(c.text, stored), c.verdict) << testing::PrintToString(SyncFolderCheckText(CheckSyncFolder(c.text, stored)));
        EXPECT_EQ(stored, L"unchanged");
    }
}

}  // namespace
