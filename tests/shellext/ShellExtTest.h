#pragma once
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>

#include "BrelioCore/ComPtr.h"
#include "BrelioCore/UniqueHandle.h"
#include "recording/RecordingOverlay.h"

namespace brelio::test {

// The shell extension as built, beside the overlay library as built.
std::wstring BuiltExtensionPath();
std::wstring BuiltOverlayLibraryPath();
// A copy of the extension beside the recording overlay library.
std::wstring RecordingExtensionPath();
std::wstring RecordingOverlayLibraryPath();

// The classes in the order of the registration table, with what each shows.
struct HandlerClass {
    const CLSID* clsid;
    const wchar_t* clsidText;
    const wchar_t* description;
    const wchar_t* overlayName;
    int overlayId;  // what it asks the overlay library about
};
extern const HandlerClass kHandlerClasses[3];
extern const wchar_t kLibidText[];
extern const wchar_t kOverlayIdentifiersKey[];

// The program's settings for one account: "Account" and the account's
// "RootDir" and "LocalStorage".
void WriteAccountSettings(const std::wstring& root, const std::wstring& storage);
// Writes a value of the account's subkey as raw bytes of any type.
void WriteAccountValue(const wchar_t* name, DWORD type, const void* data, DWORD bytes);
// Writes distinct data into "SettingsChange", as the program does on a change.
void TouchSettingsChange();
// 1 or 0 in "EnableLogging".
void SetLogging(bool on);
// The program's log file and what it holds now.
std::wstring LogFilePath();
std::string ReadLogFile();

// Registers a copy of the extension per machine (DllRegisterServer) for
// the life of the object.
class CRegisteredExtension {
public:
    explicit CRegisteredExtension(std::wstring extension);
    ~CRegisteredExtension();
    CRegisteredExtension(const CRegisteredExtension&) = delete;
    CRegisteredExtension& operator=(const CRegisteredExtension&) = delete;
    HRESULT Result() const { return m_result; }

private:
    std::wstring m_extension;
    HRESULT m_result;
};

// Another thread holds the storage mutex until the object goes.
class CStorageMutexHolder {
public:
    CStorageMutexHolder();
    ~CStorageMutexHolder();
    CStorageMutexHolder(const CStorageMutexHolder&) = delete;
    CStorageMutexHolder& operator=(const CStorageMutexHolder&) = delete;

private:
    UniqueKernelHandle m_held;
    UniqueKernelHandle m_release;
    UniqueKernelHandle m_thread;
};

// How one test of this program went in a child copy of it.
enum class ChildTestOutcome { Passed, Failed, Skipped, NotRun, NoReport };
std::ostream& operator<<(std::ostream& out, ChildTestOutcome outcome);

// Runs the test "Suite.Name" alone in a copy of this program named
// `programName` (in a folder of its own) and prints the child's output.
// Passed only when the child's own report lists that test as run and
// passed and the child ended with 0: a child that ran no test, skipped
// it or died before its report was written has not passed.
ChildTestOutcome RunTestInCopy(const wchar_t* programName, const std::string& testName);

// Waits for something another thread or process does after a
// notification; the limit only ends a test that would otherwise hang.
template <typename Condition>
bool Eventually(Condition condition) {
    for (int i = 0; i < 12000; ++i) {
        if (condition()) return true;
        ::Sleep(10);
    }
    return false;
}

// A test that registers a copy of the extension (per machine) and creates
// its handlers through COM, as Explorer does, on a clean settings key.
class ShellExtTest : public ::testing::Test {
protected:
    explicit ShellExtTest(std::wstring extension = RecordingExtensionPath()) : m_extension(std::move(extension)) {}
    void SetUp() override;
    void TearDown() override;

    ComPtr<IShellIconOverlayIdentifier> CreateHandler(const CLSID& clsid);
    // The extension's DllCanUnloadNow, while COM holds it loaded.
    HRESULT CanUnloadNow() const;
    bool IsExtensionLoaded() const;
    bool IsOverlayLibraryLoaded() const;
    // The recording library's last call; calls 0 when it is not loaded.
    RecordedOverlayCall LastCall() const;
    void SetAnswer(HRESULT answer) const;
    // Lets the calls held by kRecordingStall go on.
    void ReleaseStall() const;

    std::wstring m_extension;
    std::wstring m_overlayLibrary;
    std::unique_ptr<CRegisteredExtension> m_registration;
    bool m_comStarted = false;
};

}  // namespace brelio::test
