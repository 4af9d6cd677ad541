// Stage 3's install into a scratch installation: newer files in, equal
// versions left, and on any failure the old installation as it was.
#include <windows.h>
#include <olectl.h>

#include <gtest/gtest.h>

#include <thread>

#include "BoxAnswerer.h"
#include "BrelioCore/TextConvert.h"
#include "BrelioServices/Log.h"
#include "BrelioServices/PathHelpers.h"
#include "BrelioServices/RegistryKey.h"
#include "BrelioServices/RegistryLayout.h"
#include "BrelioUpdate/ProgramExitWait.h"
#include "BrelioUpdate/ShellExtRegistration.h"
#include "BrelioUpdate/UpdateIni.h"
#include "BrelioUpdate/UpdateManager.h"
#include "BrelioUpdate/UpdateResourceIds.h"
#include "TempFolder.h"
#include "UpdateFixtures.h"
#include "UpdateProcesses.h"

namespace brelio::test {
namespace {

constexpr HRESULT kSharingViolation = HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION);

void SetStoredShellExtension(const wchar_t* path) {
    UniqueRegistryKey key;
    ASSERT_EQ(CreateRegistryKey(HKEY_CURRENT_USER, kSettingsKeyPath, KEY_READ | KEY_WRITE, key), ERROR_SUCCESS);
    if (path == nullptr)
        ::RegDeleteValueW(key.Get(), kShellExtensionValue);
    else
        ASSERT_EQ(WriteRegistryString(key.Get(), kShellExtensionValue, path), ERROR_SUCCESS);
}

std::wstring StoredShellExtension() {
    std::wstring path;
    return ReadShellExtensionPath(path) ? path : L"<none>";
}

// Names the install uses for its copies beside the targets.
bool HasLeftovers(const std::wstring& folder) {
    for (const std::wstring& file : ListFiles(folder)) {
        if (file.find(L".BrelioUpdate-") != std::wstring::npos) return true;
    }
    return false;
}

class Install : public ::testing::Test {
protected:
    void SetUp() override {
        SetLogPath(GetLogFilePath().c_str());
        SetLogEnabled(true);
        m_hadExtension = ReadShellExtensionPath(m_extension);
        ASSERT_TRUE(m_scratch.Create());
        m_work = m_scratch / L"work";
        m_install = m_scratch / L"\uC124\uCE58 \u00FC";
        ASSERT_TRUE(CopyTree(FixturePath(L"payload"), m_work));
        ASSERT_TRUE(CopyTree(FixturePath(L"installed"), m_install));
    }
    void TearDown() override {
        SetStoredShellExtension(m_hadExtension ? m_extension.c_str() : nullptr);
        UnregisterInstalledExtension();
    }

    // An install registers the extension it copied; its classes would
    // otherwise outlive the scratch folder.
    void UnregisterInstalledExtension() const {
        UniqueModule library(::LoadLibraryW((m_install + L"\\BrelioShellExt.dll").c_str()));
        if (!library) return;
        using Entry = HRESULT(WINAPI*)();
        if (auto unregister = reinterpret_cast<Entry>(
                reinterpret_cast<void*>(::GetProcAddress(library.Get(), "DllUnregisterServer"))))
            unregister();
    }

    HRESULT CopyFiles() {
        CUpdateManager manager(m_work);
        return manager.CopyFiles(m_work, m_install);
    }

    CTempFolder m_scratch;
    std::wstring m_work;
    std::wstring m_install;
    bool m_hadExtension = false;
    std::wstring m_extension;
};

TEST_F(Install, NewerFilesReplaceOlderOnesAndEqualVersionsStay) {
    // Same version, other bytes: an install that copied it would show.
    const std::wstring library = m_install + L"\\BrelioUpdate.dll";
    const std::string installedLibrary = ReadFileBytes(library) + "kept";
    ASSERT_TRUE(WriteFileBytes(library, installedLibrary));
    const CLogWatch log;

    ASSERT_EQ(CopyFiles(), S_OK);

    for (const std::wstring& file : ListFiles(m_work)) {
        if (file == L"BrelioUpdate.dll") continue;
        EXPECT_EQ(ReadFileBytes(m_install + L"\\" + file), ReadFileBytes(m_work + L"\\" + file)) << WideToUtf8(file);
    }
    EXPECT_EQ(ReadFileBytes(library), installedLibrary);
    EXPECT_TRUE(FileExists(m_install + L"\\keep.txt"));
    EXPECT_FALSE(HasLeftovers(m_install));
    EXPECT_NE(log.NewText().find("BrelioUpdate.dll is up to date."), std::string::npos);
    EXPECT_NE(log.NewText().find("notes.txt OK."), std::string::npos);
}

TEST_F(Install, TheShellExtensionIsRegisteredFromItsInstalledPlaceAndStored) {
    // The old copy is gone: its unregistration fails quietly.
    SetStoredShellExtension(L"C:\\old\\BrelioShellExt.dll");
    const CLogWatch log;
    ASSERT_EQ(CopyFiles(), S_OK);
    const std::wstring installed = m_install + L"\\BrelioShellExt.dll";
    EXPECT_EQ(StoredShellExtension(), installed);
    EXPECT_NE(log.NewText().find("BrelioShellExt.dll OK."), std::string::npos);
    // The first overlay handler's class names the installed copy.
    wchar_t server[MAX_PATH] = L"";
    DWORD bytes = sizeof(server);
    EXPECT_EQ(::RegGetValueW(HKEY_CLASSES_ROOT, L"CLSID\\{674EE7F9-1DB7-4F2D-8297-422D146A22B6}\\InprocServer32",
                             nullptr, RRF_RT_REG_SZ, nullptr, server, &bytes),
              ERROR_SUCCESS);
    EXPECT_EQ(::lstrcmpiW(server, installed.c_str()), 0);
}

TEST_F(Install, TheUpdatesOwnFilesAreNotInstalledAtAnyDepth) {
    ASSERT_TRUE(WriteFileBytes(m_work + L"\\BrelioUpdate.ini", "VERSION=2.0.0.2\r\n"));
    ASSERT_TRUE(WriteFileBytes(m_work + L"\\BrelioUpdate.cab", "MSCF"));
    ASSERT_TRUE(WriteFileBytes(m_work + L"\\\uB3C4\uC6C0\uB9D0\\BRELIOUPDATE.INI", "x"));
    ASSERT_EQ(CopyFiles(), S_OK);
    EXPECT_FALSE(FileExists(m_install + L"\\BrelioUpdate.ini"));
    EXPECT_FALSE(FileExists(m_install + L"\\BrelioUpdate.cab"));
    EXPECT_FALSE(FileExists(m_install + L"\\\uB3C4\uC6C0\uB9D0\\BRELIOUPDATE.INI"));
    EXPECT_TRUE(FileExists(m_install + L"\\\uB3C4\uC6C0\uB9D0\\\uC548\uB0B4 \u00FC.txt"));
}

TEST_F(Install, AFileInUseFailsTheInstallAndLeavesTheOldOneWhole) {
    SetStoredShellExtension(L"C:\\old\\BrelioShellExt.dll");
    CFileHolder holder;
    ASSERT_TRUE(holder.Hold(m_install + L"\\notes.txt"));
    const CBoxAnswerer boxes;
    EXPECT_EQ(CopyFiles(), kSharingViolation);
    ASSERT_TRUE(holder.Release());
    EXPECT_TRUE(AreSameTrees(FixturePath(L"installed"), m_install));
    EXPECT_EQ(StoredShellExtension(), L"C:\\old\\BrelioShellExt.dll");
    EXPECT_TRUE(boxes.Texts().empty()) << "only the overlay library asks";
}

TEST_F(Install, TheOverlayLibraryInUseAsksAndCancelKeepsTheOldInstallation) {
    CFileHolder holder;
    ASSERT_TRUE(holder.Hold(m_install + L"\\BrelioIconOverlay.dll"));
    const CBoxAnswerer boxes({IDCANCEL});
    EXPECT_EQ(CopyFiles(), E_ABORT);
    ASSERT_TRUE(holder.Release());
    EXPECT_EQ(boxes.Texts(), std::vector<std::wstring>{UpdateString(IDS_UPDATE_FOLDER_IN_USE)});
    EXPECT_TRUE(AreSameTrees(FixturePath(L"installed"), m_install));
}

TEST_F(Install, RetryAtTheOverlayQuestionInstallsOnceTheLibraryIsFree) {
    CFileHolder holder;
    ASSERT_TRUE(holder.Hold(m_install + L"\\BrelioIconOverlay.dll"));
    // The user closes Explorer's windows, then presses Retry.
    const CBoxAnswerer boxes({IDRETRY}, [&holder](size_t) { holder.Release(); });
    ASSERT_EQ(CopyFiles(), S_OK);
    EXPECT_EQ(boxes.Texts().size(), 1u);
    EXPECT_TRUE(HasSameFiles(FixturePath(L"payload"), m_install));
}

TEST_F(Install, AFailedRegistrationPutsTheOldInstallationAndRegistrationBack) {
    ASSERT_TRUE(::CopyFileW(FixturePath(L"failing-shellext\\BrelioShellExt.dll").c_str(),
                            (m_work + L"\\BrelioShellExt.dll").c_str(), FALSE));
    for (const wchar_t* stored : {L"C:\\old\\BrelioShellExt.dll", static_cast<const wchar_t*>(nullptr)}) {
        SCOPED_TRACE(stored ? "with a stored extension" : "without one");
        SetStoredShellExtension(stored);
        const CLogWatch log;
        EXPECT_EQ(CopyFiles(), SELFREG_E_CLASS);
        EXPECT_TRUE(AreSameTrees(FixturePath(L"installed"), m_install));
        EXPECT_EQ(StoredShellExtension(), stored ? stored : L"<none>");
        EXPECT_NE(log.NewText().find("failed(0x80040201)."), std::string::npos);
    }
}

TEST_F(Install, ABackupLeftInUseDoesNotBlockTheNextInstall) {
    // An earlier install kept the old shell extension beside the new one
    // (Explorer had it loaded), and it is still in use.
    const std::wstring backup = m_install + L"\\BrelioShellExt.dll.BrelioUpdate-old";
    const struct {
        const char* what;
        bool loaded;  // as a library; else open without delete sharing
    } cases[] = {{"loaded as a library", true}, {"open without sharing", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(CopyTree(FixturePath(L"installed"), m_install));
        ASSERT_TRUE(::CopyFileW(FixturePath(L"installed\\BrelioShellExt.dll").c_str(), backup.c_str(), FALSE));
        CFileHolder holder;
        UniqueModule library;
        if (c.loaded) {
            library.Reset(::LoadLibraryW(backup.c_str()));
            ASSERT_TRUE(library);
        } else {
            ASSERT_TRUE(holder.Hold(backup));
        }
        const CBoxAnswerer boxes;

        EXPECT_EQ(CopyFiles(), S_OK);
        EXPECT_TRUE(HasSameFiles(FixturePath(L"payload"), m_install));
        EXPECT_TRUE(boxes.Texts().empty());

        // What is still in use goes at the next install, once it is free.
        library.Reset();
        ASSERT_TRUE(holder.Release());
        EXPECT_EQ(CopyFiles(), S_OK);
        EXPECT_TRUE(HasSameFiles(FixturePath(L"payload"), m_install));
        EXPECT_FALSE(HasLeftovers(m_install)) << ::testing::PrintToString(ListFiles(m_install));
    }
}

TEST_F(Install, FilesNamedLikeTheInstallsOwnCopiesAreRefused) {
    const std::wstring failingExtension = FixturePath(L"failing-shellext\\BrelioShellExt.dll");
    for (const wchar_t* name : {L"BrelioDrive.exe.BrelioUpdate-old", L"BrelioDrive.exe.BrelioUpdate-new",
                                L"BrelioLauncher.exe.brelioupdate-OLD", L"notes.txt.BrelioUpdate-old-1"}) {
        // Also when the registration fails after the files were replaced.
        for (const bool failingRegistration : {false, true}) {
            SCOPED_TRACE(WideToUtf8(name) + (failingRegistration ? ", failing registration" : ""));
            const std::wstring extension = failingRegistration ? failingExtension : FixturePath(L"payload\\BrelioShellExt.dll");
            ASSERT_TRUE(::CopyFileW(extension.c_str(), (m_work + L"\\BrelioShellExt.dll").c_str(), FALSE));
            const std::wstring file = m_work + L"\\" + name;
            ASSERT_TRUE(WriteFileBytes(file, "not what was installed"));
            EXPECT_EQ(CopyFiles(), HRESULT_FROM_WIN32(ERROR_INVALID_NAME));
            EXPECT_TRUE(AreSameTrees(FixturePath(L"installed"), m_install));
            ASSERT_TRUE(::DeleteFileW(file.c_str()));
        }
    }
}

TEST_F(Install, OnlyTheShellExtensionLibraryItselfIsRegistered) {
    // Files that only begin with its name, and a copy below the folder.
    ASSERT_TRUE(WriteFileBytes(m_work + L"\\BrelioShellExt.pdb", "debug information"));
    ASSERT_TRUE(WriteFileBytes(m_work + L"\\BrelioShellExt.dll.config", "<configuration/>"));
    ASSERT_TRUE(::CopyFileW((m_work + L"\\BrelioShellExt.dll").c_str(),
                            (m_work + L"\\\uB3C4\uC6C0\uB9D0\\BrelioShellExt.dll").c_str(), FALSE));
    SetStoredShellExtension(L"C:\\old\\BrelioShellExt.dll");
    const CLogWatch log;
    ASSERT_EQ(CopyFiles(), S_OK);
    EXPECT_EQ(StoredShellExtension(), m_install + L"\\BrelioShellExt.dll");
    const std::string text = log.NewText();
    size_t registrations = 0;
    for (size_t at = text.find("Register "); at != std::string::npos; at = text.find("Register ", at + 1))
        ++registrations;
    EXPECT_EQ(registrations, 1u) << text;
}

TEST_F(Install, AShellExtensionThatCannotRegisterFailsTheInstall) {
    const struct {
        const char* what;
        std::wstring copiedFrom;  // empty: bytes that are no library
    } cases[] = {
        {"no library", L""},
        {"a module without registration entry", FixturePath(L"payload\\BrelioLauncher.exe")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::wstring extension = m_work + L"\\BrelioShellExt.dll";
        if (c.copiedFrom.empty())
            ASSERT_TRUE(WriteFileBytes(extension, "MZ but no library"));
        else
            ASSERT_TRUE(::CopyFileW(c.copiedFrom.c_str(), extension.c_str(), FALSE));
        SetStoredShellExtension(L"C:\\old\\BrelioShellExt.dll");
        EXPECT_LT(CopyFiles(), 0);
        EXPECT_TRUE(AreSameTrees(FixturePath(L"installed"), m_install));
        EXPECT_EQ(StoredShellExtension(), L"C:\\old\\BrelioShellExt.dll");
    }
}

class InstallFromWorkDir : public Install {
protected:
    HRESULT UpdateFiles() {
        CUpdateManager manager(m_work);
        return manager.UpdateFiles();
    }
};

TEST_F(InstallFromWorkDir, TheInstallFolderMustBeAnotherExistingFolder) {
    EXPECT_EQ(UpdateFiles(), E_FAIL) << "no ini";
    for (const std::wstring& folder : {m_scratch / L"missing", m_work, m_work + L"\\"}) {
        ASSERT_TRUE(SetIniValue(m_work, L"InstallDir", folder));
        EXPECT_EQ(UpdateFiles(), E_FAIL) << WideToUtf8(folder);
    }
    EXPECT_TRUE(AreSameTrees(FixturePath(L"installed"), m_install));
}

TEST_F(InstallFromWorkDir, TheInstallWaitsForTheProgramThatStartedTheUpdate) {
    // A program running from the installation as BrelioDrive.exe, until
    // the test lets it end.
    const std::wstring program = m_install + L"\\BrelioDrive.exe";
    ASSERT_TRUE(::CopyFileW(TestProgramPath(L"update_file_holder.exe").c_str(), program.c_str(), FALSE));
    const std::string running = ReadFileBytes(program);
    ASSERT_TRUE(WriteFileBytes(m_scratch / L"held.txt", "held"));
    CFileHolder holder;
    ASSERT_TRUE(holder.Hold(m_scratch / L"held.txt", program));
    ASSERT_TRUE(SetIniValue(m_work, L"InstallDir", m_install));

    const CLogWatch log;
    HRESULT result = E_UNEXPECTED;
    std::thread stage3([&] { result = UpdateFiles(); });
    EXPECT_TRUE(log.WaitFor("BrelioDrive.exe to exit."));
    EXPECT_EQ(ReadFileBytes(program), running) << "nothing replaced while it runs";
    EXPECT_EQ(ReadFileBytes(m_install + L"\\notes.txt"), ReadFileBytes(FixturePath(L"installed\\notes.txt")));
    EXPECT_TRUE(holder.Release());
    stage3.join();
    EXPECT_EQ(result, S_OK);
    EXPECT_TRUE(HasSameFiles(FixturePath(L"payload"), m_install));
}

TEST_F(InstallFromWorkDir, TheWaitIsBounded) {
    const std::wstring program = m_scratch / L"Running.exe";
    ASSERT_TRUE(::CopyFileW(TestProgramPath(L"update_file_holder.exe").c_str(), program.c_str(), FALSE));
    ASSERT_TRUE(WriteFileBytes(m_scratch / L"held.txt", "held"));
    CFileHolder holder;
    ASSERT_TRUE(holder.Hold(m_scratch / L"held.txt", program));
    EXPECT_EQ(WaitForProgramExit(program, 0), HRESULT_FROM_WIN32(WAIT_TIMEOUT));
    EXPECT_TRUE(holder.Release());
    EXPECT_EQ(WaitForProgramExit(program, 0), S_OK);
    EXPECT_EQ(WaitForProgramExit(m_scratch / L"NotRunning.exe", 0), S_OK);
}

}  // namespace
}  // namespace brelio::test
