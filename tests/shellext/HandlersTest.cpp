// The overlay handlers through COM, as Explorer uses them, in a process that
// is not Explorer: a copy of the extension beside the recording overlay
// library.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "BrelioCore/UniqueHandle.h"
#include "BrelioServices/RegistryLayout.h"
#include "ShellExtTest.h"
#include "TempFolder.h"

using namespace brelio::test;

namespace {

constexpr wchar_t kRoot[] = L"C:\\Sync";
constexpr wchar_t kStorage[] = L"C:\\users\\me\\AppData\\Local\\BrelioDrive\\sync.db";

class ShellExtHandlers : public ShellExtTest {};

// Long enough for any answer that does not wait for a stalled library.
constexpr DWORD kGenerousWaitMs = 30000;

// Asks a handler on a thread of its own, so that a call that does not come
// back cannot hold the test. The thread is waited for (a generous time)
// when the object goes: let stalled calls go on first. A thread that still
// has not come back by then is left with its question.
class CQuestionOnItsOwnThread {
public:
    CQuestionOnItsOwnThread(IShellIconOverlayIdentifier* handler, std::wstring path)
        : m_question(std::make_shared<Question>(handler, std::move(path))) {
        auto threadsCopy = std::make_unique<std::shared_ptr<Question>>(m_question);
        m_thread.Reset(::CreateThread(nullptr, 0, Ask, threadsCopy.get(), 0, nullptr));
        if (m_thread) threadsCopy.release();
    }
    ~CQuestionOnItsOwnThread() {
        if (m_thread) ::WaitForSingleObject(m_thread.Get(), kGenerousWaitMs);
    }
    CQuestionOnItsOwnThread(const CQuestionOnItsOwnThread&) = delete;
    CQuestionOnItsOwnThread& operator=(const CQuestionOnItsOwnThread&) = delete;

    bool AnsweredWithin(DWORD milliseconds) const {
        return m_thread && ::WaitForSingleObject(m_thread.Get(), milliseconds) == WAIT_OBJECT_0;
    }
    // E_PENDING until the handler answered.
    HRESULT Answer() const { return m_question->answer; }

private:
    struct Question {
        Question(IShellIconOverlayIdentifier* h, std::wstring p) : handler(h), path(std::move(p)) {}
        IShellIconOverlayIdentifier* handler;
        const std::wstring path;
        volatile HRESULT answer = E_PENDING;
    };

    static DWORD WINAPI Ask(void* param) {
        const std::unique_ptr<std::shared_ptr<Question>> question(static_cast<std::shared_ptr<Question>*>(param));
        (*question)->answer = (*question)->handler->IsMemberOf((*question)->path.c_str(), 0);
        return 0;
    }

    std::shared_ptr<Question> m_question;
    brelio::UniqueKernelHandle m_thread;
};

// Runs the action when the scope ends, also after a failed assertion.
template <typename Action>
class CAtScopeExit {
public:
    explicit CAtScopeExit(Action action) : m_action(std::move(action)) {}
    ~CAtScopeExit() { m_action(); }
    CAtScopeExit(const CAtScopeExit&) = delete;
    CAtScopeExit& operator=(const CAtScopeExit&) = delete;

private:
    Action m_action;
};

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

// A library that does not come back costs items their overlay, not the
// caller's thread its time. It is not entered again while it is busy, and
// it is asked again once it came back.
TEST_F(ShellExtHandlers, ALibraryThatStallsIsAnsweredForWithNoOverlay) {
    WriteAccountSettings(kRoot, kStorage);
    auto handler = CreateHandler(*kHandlerClasses[0].clsid);
    ASSERT_TRUE(handler);
    ASSERT_EQ(handler->IsMemberOf(L"C:\\Sync\\a.txt", 0), S_OK);
    std::unique_ptr<CQuestionOnItsOwnThread> question;
    const CAtScopeExit letStallsGo([&] { ReleaseStall(); });
    SetAnswer(kRecordingStall);
    question = std::make_unique<CQuestionOnItsOwnThread>(handler.Get(), L"C:\\Sync\\b.txt");
    ASSERT_TRUE(question->AnsweredWithin(kGenerousWaitMs)) << "the caller waited for the library";
    EXPECT_EQ(question->Answer(), S_FALSE);
    EXPECT_STREQ(LastCall().path, L"C:\\Sync\\b.txt") << "the library holds that question";

    const LONG calls = LastCall().calls;
    EXPECT_EQ(handler->IsMemberOf(L"C:\\Sync\\c.txt", 0), S_FALSE);
    EXPECT_EQ(LastCall().calls, calls) << "not entered again while it is busy";

    SetAnswer(S_OK);
    ReleaseStall();
    EXPECT_TRUE(Eventually([&] { return handler->IsMemberOf(L"C:\\Sync\\d.txt", 0) == S_OK; }));
    EXPECT_STREQ(LastCall().path, L"C:\\Sync\\d.txt");
}

// The handler and the extension may go while the library still holds a
// question: whatever is still running keeps what it needs loaded, and
// lets go of it once the library came back.
TEST_F(ShellExtHandlers, AHandlerLetGoWhileTheLibraryStallsLeavesNothingBehind) {
    WriteAccountSettings(kRoot, kStorage);
    auto handler = CreateHandler(*kHandlerClasses[1].clsid);
    ASSERT_TRUE(handler);
    ASSERT_EQ(handler->IsMemberOf(L"C:\\Sync\\a.txt", 0), S_OK);
    std::unique_ptr<CQuestionOnItsOwnThread> question;
    const CAtScopeExit letStallsGo([&] {
        if (IsOverlayLibraryLoaded()) ReleaseStall();
    });
    SetAnswer(kRecordingStall);
    question = std::make_unique<CQuestionOnItsOwnThread>(handler.Get(), L"C:\\Sync\\b.txt");
    ASSERT_TRUE(question->AnsweredWithin(kGenerousWaitMs)) << "the caller waited for the library";
    EXPECT_EQ(question->Answer(), S_FALSE);

    handler.Reset();
    ::CoFreeUnusedLibrariesEx(0, 0);
    ASSERT_TRUE(IsOverlayLibraryLoaded()) << "held by the question it still answers";
    ReleaseStall();
    EXPECT_TRUE(Eventually([&] {
        ::CoFreeUnusedLibrariesEx(0, 0);
        return !IsExtensionLoaded() && !IsOverlayLibraryLoaded();
    }));
}

// A library that ends the thread it is asked on (as the system does with a
// thread whose stack it cannot recover) costs that item its overlay; the
// next items are asked on another thread.
TEST_F(ShellExtHandlers, ALibraryThatEndsItsThreadIsAskedAgainOnAnother) {
    WriteAccountSettings(kRoot, kStorage);
    auto handler = CreateHandler(*kHandlerClasses[2].clsid);
    ASSERT_TRUE(handler);
    ASSERT_EQ(handler->IsMemberOf(L"C:\\Sync\\a.txt", 0), S_OK);
    SetAnswer(kRecordingEndThread);
    {
        CQuestionOnItsOwnThread question(handler.Get(), L"C:\\Sync\\b.txt");
        ASSERT_TRUE(question.AnsweredWithin(kGenerousWaitMs));
        EXPECT_EQ(question.Answer(), S_FALSE) << "answered, on the thread that asked";
    }
    SetAnswer(S_OK);
    CQuestionOnItsOwnThread again(handler.Get(), L"C:\\Sync\\c.txt");
    ASSERT_TRUE(again.AnsweredWithin(kGenerousWaitMs)) << "the handler is still usable";
    EXPECT_TRUE(Eventually([&] { return handler->IsMemberOf(L"C:\\Sync\\d.txt", 0) == S_OK; }));
    EXPECT_STREQ(LastCall().path, L"C:\\Sync\\d.txt");
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
