// The overlay handlers through COM, as Explorer uses them, in a process that
// is not Explorer: a copy of the extension beside the recording overlay
// library.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "BrelioServices/RegistryLayout.h"
#include "ShellExtTest.h"
#include "TempFolder.h"

using namespace brelio::test;

namespace {

constexpr wchar_t kRoot[] = L"C:\\Sync";
constexpr wchar_t kStorage[] = L"C:\\users\\me\\AppData\\Local\\BrelioDrive\\sync.db";

class ShellExtHandlers : public ShellExtTest {};

}  // namespace

TEST_F(ShellExtHandlers, EachClassGivesItsIconAndPriorityAndHandsPathsOnWithItsOverlayId) {
    WriteAccountSettings(kRoot, kStorage);
    for (const HandlerClass& handlerClass : kHandlerClasses) {
        SCOPED_TRACE(handlerClass.clsidText);
        auto handler = CreateHandler(*handlerClass.clsid);
        ASSERT_TRUE(handler);

        wchar_t iconFile[MAX_PATH] = L"";
        int index = -1;
        DWORD flags = 0;
        ASSERT_EQ(handler->GetOverlayInfo(iconFile, MAX_PATH, &index, &flags), S_OK);
        EXPECT_EQ(::lstrcmpiW(iconFile, RecordingOverlayLibraryPath().c_str()), 0) << iconFile;
        EXPECT_EQ(index, handlerClass.overlayId - 1);
        EXPECT_EQ(flags, static_cast<DWORD>(ISIOI_ICONFILE | ISIOI_ICONINDEX));
        // A buffer too small for the library's path gets no cut path.
        EXPECT_TRUE(FAILED(handler->GetOverlayInfo(iconFile, 8, &index, &flags)));
        int priority = -1;
        ASSERT_EQ(handler->GetPriority(&priority), S_OK);
        EXPECT_EQ(priority, 0);

        ASSERT_EQ(handler->IsMemberOf(L"C:\\Sync\\docs\\a.txt", FILE_ATTRIBUTE_ARCHIVE), S_OK);
        const RecordedOverlayCall call = LastCall();
        EXPECT_EQ(call.calls, 1) << "loaded by this handler";
        EXPECT_EQ(call.overlayId, handlerClass.overlayId);
        EXPECT_STREQ(call.storage, kStorage);
        EXPECT_STREQ(call.root, kRoot);
        EXPECT_STREQ(call.path, L"C:\\Sync\\docs\\a.txt");
        EXPECT_EQ(call.attributes, static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
        EXPECT_EQ(call.generation, 1);
        EXPECT_EQ(call.mutexWait, WAIT_OBJECT_0);
    }
}

TEST_F(ShellExtHandlers, TheMutexHandedOnIsTheStorageMutex) {
    WriteAccountSettings(kRoot, kStorage);
    auto handler = CreateHandler(*kHandlerClasses[0].clsid);
    ASSERT_TRUE(handler);
    {
        CStorageMutexHolder holder;
        EXPECT_EQ(handler->IsMemberOf(L"C:\\Sync\\a.txt", 0), S_OK);
        EXPECT_EQ(LastCall().mutexWait, static_cast<DWORD>(WAIT_TIMEOUT)) << "held by the other thread";
    }
    EXPECT_EQ(handler->IsMemberOf(L"C:\\Sync\\a.txt", 0), S_OK);
    EXPECT_EQ(LastCall().mutexWait, WAIT_OBJECT_0);
}

TEST_F(ShellExtHandlers, TheLibrarysAnswerComesBackUnchanged) {
    WriteAccountSettings(kRoot, kStorage);
    auto handler = CreateHandler(*kHandlerClasses[1].clsid);
    ASSERT_TRUE(handler);
    ASSERT_EQ(handler->IsMemberOf(L"C:\\Sync\\a.txt", 0), S_OK);
    const struct {
        HRESULT answer;
        HRESULT expected;
    } cases[] = {
        {S_FALSE, S_FALSE},
        {S_OK, S_OK},
        {E_ACCESSDENIED, E_ACCESSDENIED},
        {static_cast<HRESULT>(0x00000007), static_cast<HRESULT>(0x00000007)},
        // A fault inside the library costs the item its overlay only.
        {kRecordingFault, S_FALSE},
        {S_OK, S_OK},
    };
    for (const auto& c : cases) {
        SetAnswer(c.answer);
        EXPECT_EQ(handler->IsMemberOf(L"C:\\Sync\\b.txt", 0), c.expected) << std::hex << c.answer;
    }
}

TEST_F(ShellExtHandlers, PathsAreTakenByWholeComponentsWithoutRegardToCase) {
    WriteAccountSettings(kRoot, kStorage);
    auto handler = CreateHandler(*kHandlerClasses[0].clsid);
    ASSERT_TRUE(handler);
    const std::wstring longName(300, L'x');
    const struct {
        std::wstring path;
        bool asksLibrary;
        bool libraryStays;  // after the question
    } cases[] = {
        {L"C:\\Sync\\a.txt", true, true},
        {L"c:\\SYNC\\Docs\\b.txt", true, true},
        {L"C:\\Sync\\sub\\", true, true},
        {L"C:\\SyncOther\\a.txt", false, false},
        {L"C:\\Sync", false, false},
        {L"c:\\sync\\", false, false},
        {L"C:\\", false, false},
        {L"D:\\Sync\\a.txt", false, false},
        // Too long to hand on whole: answered, not cut.
        {L"C:\\Sync\\" + longName, false, true},
        {L"C:\\Sync\\" + std::wstring(MAX_PATH - 7, L'y'), false, true},
        {L"C:\\Sync\\" + std::wstring(MAX_PATH - 8, L'z'), true, true},
        {L"", false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path.size() > 40 ? std::to_string(c.path.size()) + " characters" : std::string(c.path.begin(), c.path.end()));
        // Loaded before each question.
        ASSERT_EQ(handler->IsMemberOf(L"C:\\Sync\\loaded.txt", 0), S_OK);
        const LONG before = LastCall().calls;
        const HRESULT hr = handler->IsMemberOf(c.path.c_str(), 0);
        EXPECT_EQ(IsOverlayLibraryLoaded(), c.libraryStays);
        if (c.asksLibrary) {
            EXPECT_EQ(hr, S_OK);
            EXPECT_EQ(LastCall().calls, before + 1);
            EXPECT_EQ(LastCall().path, c.path);
        } else {
            EXPECT_EQ(hr, S_FALSE);
            if (c.libraryStays) {
                EXPECT_EQ(LastCall().calls, before);
            }
        }
    }
}

TEST_F(ShellExtHandlers, ASyncFolderWithATrailingBackslashIsTheSameFolder) {
    WriteAccountSettings(L"C:\\Sync\\", kStorage);
    auto handler = CreateHandler(*kHandlerClasses[2].clsid);
    ASSERT_TRUE(handler);
    EXPECT_EQ(handler->IsMemberOf(L"C:\\Sync\\a.txt", 0), S_OK);
    EXPECT_STREQ(LastCall().root, L"C:\\Sync\\");
    EXPECT_EQ(handler->IsMemberOf(L"C:\\Sync", 0), S_FALSE);
    EXPECT_FALSE(IsOverlayLibraryLoaded()) << "the folder itself frees the library";
    EXPECT_EQ(handler->IsMemberOf(L"C:\\SyncOther\\a.txt", 0), S_FALSE);
    EXPECT_FALSE(IsOverlayLibraryLoaded());
}

// Values written by hand with other types or sizes count as absent: no
// overlay, no crash, and the value is read again at the next question.
TEST_F(ShellExtHandlers, BadSettingValuesGiveNoOverlayAndAreReadAgain) {
    WriteAccountSettings(kRoot, kStorage);
    auto handler = CreateHandler(*kHandlerClasses[0].clsid);
    ASSERT_TRUE(handler);
    const DWORD number = 0x00530043;  // "CS" read as text
    // Followed by more text, so that the registry does not add the
    // terminator that a writer forgot to count.
    const wchar_t unterminated[] = L"C:\\SyncX";
    const wchar_t twoStrings[] = L"C:\\Sync\0C:\\Other\0";
    const std::wstring tooLong = L"C:\\Sync\\" + std::wstring(300, L'd');
    const std::wstring longAccount(200, L'a');
    struct Case {
        const wchar_t* name;
        DWORD type;
        const void* data;
        DWORD bytes;
        const char* what;
    };
    const std::vector<Case> rootCases = {
        {kRootDirValue, REG_DWORD, &number, sizeof(number), "a number"},
        {kRootDirValue, REG_BINARY, unterminated, 14, "bytes without a terminator"},
        {kRootDirValue, REG_SZ, unterminated, 14, "text without a terminator"},
        {kRootDirValue, REG_SZ, L"C:\\Sync", 15, "an odd byte count"},
        {kRootDirValue, REG_MULTI_SZ, twoStrings, sizeof(twoStrings), "a list of texts"},
        {kRootDirValue, REG_SZ, tooLong.c_str(), static_cast<DWORD>((tooLong.size() + 1) * 2), "too long"},
        {kRootDirValue, REG_SZ, L"", 2, "empty"},
        {kAccountValue, REG_DWORD, &number, sizeof(number), "an account that is a number"},
        {kAccountValue, REG_SZ, longAccount.c_str(), static_cast<DWORD>((longAccount.size() + 1) * 2),
         "an account too long"},
    };
    for (const Case& c : rootCases) {
        SCOPED_TRACE(c.what);
        WriteAccountSettings(kRoot, kStorage);
        WriteAccountValue(c.name, c.type, c.data, c.bytes);
        EXPECT_EQ(handler->IsMemberOf(L"C:\\Sync\\a.txt", 0), S_FALSE);
        EXPECT_FALSE(IsOverlayLibraryLoaded()) << "no sync folder, nothing inside it";
    }
    // With a good sync folder (now cached), a bad database path.
    WriteAccountSettings(kRoot, kStorage);
    const std::vector<Case> storageCases = {
        {kLocalStorageValue, REG_DWORD, &number, sizeof(number), "a number"},
        {kLocalStorageValue, REG_BINARY, unterminated, 14, "bytes without a terminator"},
        {kLocalStorageValue, REG_SZ, unterminated, 14, "text without a terminator"},
        {kLocalStorageValue, REG_MULTI_SZ, twoStrings, sizeof(twoStrings), "a list of texts"},
        {kLocalStorageValue, REG_SZ, tooLong.c_str(), static_cast<DWORD>((tooLong.size() + 1) * 2), "too long"},
    };
    for (const Case& c : storageCases) {
        SCOPED_TRACE(c.what);
        WriteAccountValue(c.name, c.type, c.data, c.bytes);
        EXPECT_EQ(handler->IsMemberOf(L"C:\\Sync\\a.txt", 0), S_FALSE);
        EXPECT_EQ(LastCall().calls, 0) << "the library was not asked";
    }
    WriteAccountSettings(kRoot, kStorage);
    EXPECT_EQ(handler->IsMemberOf(L"C:\\Sync\\a.txt", 0), S_OK);
    EXPECT_STREQ(LastCall().storage, kStorage);
    EXPECT_STREQ(LastCall().root, kRoot);
}

// Outside Explorer: no watcher holds the library, nothing is logged, and
// the library can go once the last handler went.
TEST_F(ShellExtHandlers, OutsideExplorerNoWatcherAndNoLog) {
    SetLogging(true);
    WriteAccountSettings(kRoot, kStorage);
    const std::string logBefore = ReadLogFile();
    auto first = CreateHandler(*kHandlerClasses[0].clsid);
    auto second = CreateHandler(*kHandlerClasses[1].clsid);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->IsMemberOf(L"C:\\Sync\\a.txt", 0), S_OK);
    EXPECT_EQ(CanUnloadNow(), S_FALSE) << "two handlers live";
    first.Reset();
    EXPECT_EQ(CanUnloadNow(), S_FALSE) << "one handler lives";
    EXPECT_EQ(second->IsMemberOf(L"C:\\Sync\\a.txt", 0), S_OK);
    second.Reset();
    EXPECT_EQ(CanUnloadNow(), S_OK) << "no handler and no watcher";
    EXPECT_EQ(ReadLogFile(), logBefore);
    ::CoFreeUnusedLibrariesEx(0, 0);
    EXPECT_FALSE(IsExtensionLoaded());
}

namespace {

enum class BesideTheExtension { Nothing, LibraryWithoutTheExport };

// A copy of the extension in a folder of its own, with no overlay library
// beside it or with a library of that name that lacks "IsMemberOf" (a copy
// of the extension itself).
std::wstring LonelyExtensionCopy(BesideTheExtension beside) {
    static CTempFolder folders[2];
    CTempFolder& folder = folders[static_cast<int>(beside)];
    if (folder.Path().empty()) {
        if (!folder.Create()) return L"";
        if (!::CopyFileW(BuiltExtensionPath().c_str(), (folder / L"BrelioShellExt.dll").c_str(), TRUE)) return L"";
        if (beside == BesideTheExtension::LibraryWithoutTheExport &&
            !::CopyFileW(BuiltExtensionPath().c_str(), (folder / L"BrelioIconOverlay.dll").c_str(), TRUE)) {
            return L"";
        }
    }
    return folder / L"BrelioShellExt.dll";
}

class ShellExtWithoutUsableLibrary : public ShellExtTest, public ::testing::WithParamInterface<BesideTheExtension> {
protected:
    ShellExtWithoutUsableLibrary() : ShellExtTest(LonelyExtensionCopy(GetParam())) {}
};

}  // namespace

// An overlay library that is missing or cannot answer costs the items their
// overlay, every time it is asked, and nothing else.
TEST_P(ShellExtWithoutUsableLibrary, ItemsGetNoOverlay) {
    ASSERT_FALSE(m_extension.empty());
    WriteAccountSettings(kRoot, kStorage);
    for (const HandlerClass& handlerClass : kHandlerClasses) {
        SCOPED_TRACE(handlerClass.clsidText);
        auto handler = CreateHandler(*handlerClass.clsid);
        ASSERT_TRUE(handler);
        EXPECT_EQ(handler->IsMemberOf(L"C:\\Sync\\a.txt", FILE_ATTRIBUTE_ARCHIVE), S_FALSE);
        EXPECT_EQ(handler->IsMemberOf(L"C:\\Sync\\docs", FILE_ATTRIBUTE_DIRECTORY), S_FALSE) << "asked again";
        int priority = -1;
        EXPECT_EQ(handler->GetPriority(&priority), S_OK);
    }
}

INSTANTIATE_TEST_SUITE_P(MissingOrWithoutExport, ShellExtWithoutUsableLibrary,
                         ::testing::Values(BesideTheExtension::Nothing, BesideTheExtension::LibraryWithoutTheExport),
                         [](const ::testing::TestParamInfo<BesideTheExtension>& info) {
                             return info.param == BesideTheExtension::Nothing ? "NoLibrary" : "NoExport";
                         });
