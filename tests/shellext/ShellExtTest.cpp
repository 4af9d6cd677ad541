#include "ShellExtTest.h"

#include <shlwapi.h>

#include <iostream>

#include "BrelioServices/NamedMutex.h"
#include "BrelioServices/RegistryKey.h"
#include "BrelioServices/RegistryLayout.h"
#include "TempFolder.h"

namespace brelio::test {

namespace {

constexpr wchar_t kTestAccount[] = L"overlay@tenant";

using RegistrationEntry = HRESULT(WINAPI*)();

std::wstring BesideExtension(const std::wstring& extension, const wchar_t* name) {
    std::wstring path = extension;
    path.resize(path.find_last_of(L'\\') + 1);
    return path + name;
}

HRESULT CallEntry(const std::wstring& library, const char* name) {
    UniqueModule module(::LoadLibraryW(library.c_str()));
    if (!module) return HRESULT_FROM_WIN32(::GetLastError());
    auto entry = reinterpret_cast<RegistrationEntry>(reinterpret_cast<void*>(::GetProcAddress(module.Get(), name)));
    return entry ? entry() : E_NOINTERFACE;
}

std::wstring AccountKeyPath() { return std::wstring(kSettingsKeyPath) + L"\\" + kTestAccount; }

}  // namespace

std::wstring BuiltExtensionPath() { return BRELIO_BUILT_SHELLEXT; }
std::wstring BuiltOverlayLibraryPath() { return BesideExtension(BRELIO_BUILT_SHELLEXT, L"BrelioIconOverlay.dll"); }
std::wstring RecordingExtensionPath() { return BRELIO_RECORDING_SHELLEXT; }
std::wstring RecordingOverlayLibraryPath() {
    return BesideExtension(BRELIO_RECORDING_SHELLEXT, L"BrelioIconOverlay.dll");
}

// {674EE7F9-...}, {75EDD935-...}, {55A58614-...}: the extension's classes.
static const CLSID kClsid1 = {0x674EE7F9, 0x1DB7, 0x4F2D, {0x82, 0x97, 0x42, 0x2D, 0x14, 0x6A, 0x22, 0xB6}};
static const CLSID kClsid2 = {0x75EDD935, 0x8785, 0x4822, {0xA3, 0x14, 0xC2, 0x0A, 0x02, 0xAA, 0x67, 0x37}};
static const CLSID kClsid3 = {0x55A58614, 0xCA10, 0x444D, {0x92, 0x11, 0xC2, 0xB3, 0x02, 0x5E, 0x05, 0xDB}};

const HandlerClass kHandlerClasses[3] = {
    {&kClsid1, L"{674EE7F9-1DB7-4F2D-8297-422D146A22B6}", L"IconOverlay1Handler Class", L"    BrelioDrive1", 1},
    {&kClsid2, L"{75EDD935-8785-4822-A314-C20A02AA6737}", L"IconOverlay2Handler Class", L"    BrelioDrive2", 3},
    {&kClsid3, L"{55A58614-CA10-444D-9211-C2B3025E05DB}", L"IconOverlay3Handler Class", L"    BrelioDrive3", 2},
};
const wchar_t kLibidText[] = L"{01412D4E-D113-4DAB-8B97-752D984ED095}";
const wchar_t kOverlayIdentifiersKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ShellIconOverlayIdentifiers";

void WriteAccountSettings(const std::wstring& root, const std::wstring& storage) {
    UniqueRegistryKey settings, account;
    ASSERT_EQ(CreateRegistryKey(HKEY_CURRENT_USER, kSettingsKeyPath, KEY_WRITE, settings), ERROR_SUCCESS);
    ASSERT_EQ(WriteRegistryString(settings.Get(), kAccountValue, kTestAccount), ERROR_SUCCESS);
    ASSERT_EQ(CreateRegistryKey(HKEY_CURRENT_USER, AccountKeyPath().c_str(), KEY_WRITE, account), ERROR_SUCCESS);
    ASSERT_EQ(WriteRegistryString(account.Get(), kRootDirValue, root), ERROR_SUCCESS);
    ASSERT_EQ(WriteRegistryString(account.Get(), kLocalStorageValue, storage), ERROR_SUCCESS);
}

void WriteAccountValue(const wchar_t* name, DWORD type, const void* data, DWORD bytes) {
    UniqueRegistryKey key;
    const bool account = wcscmp(name, kAccountValue) != 0;
    ASSERT_EQ(CreateRegistryKey(HKEY_CURRENT_USER, account ? AccountKeyPath().c_str() : kSettingsKeyPath, KEY_WRITE,
                                key),
              ERROR_SUCCESS);
    ASSERT_EQ(::RegSetValueExW(key.Get(), name, 0, type, static_cast<const BYTE*>(data), bytes), ERROR_SUCCESS);
}

void TouchSettingsChange() {
    const std::wstring path = std::wstring(kSettingsKeyPath) + L"\\" + kSettingsChangeSubkey;
    UniqueRegistryKey key;
    ASSERT_EQ(CreateRegistryKey(HKEY_CURRENT_USER, path.c_str(), KEY_READ | KEY_WRITE, key), ERROR_SUCCESS);
    DWORD value = 0;
    (void)ReadRegistryDword(key.Get(), nullptr, value);
    ASSERT_EQ(WriteRegistryDword(key.Get(), nullptr, value + 1), ERROR_SUCCESS);
}

void SetLogging(bool on) {
    UniqueRegistryKey key;
    ASSERT_EQ(CreateRegistryKey(HKEY_CURRENT_USER, kSettingsKeyPath, KEY_WRITE, key), ERROR_SUCCESS);
    ASSERT_EQ(WriteRegistryDword(key.Get(), kEnableLoggingValue, on ? 1 : 0), ERROR_SUCCESS);
}

std::wstring LogFilePath() {
    wchar_t folder[MAX_PATH + 1] = L"";
    ::GetTempPathW(MAX_PATH + 1, folder);
    return std::wstring(folder) + L"BrelioDrive.log";
}

std::string ReadLogFile() { return ReadFileBytes(LogFilePath()); }

CRegisteredExtension::CRegisteredExtension(std::wstring extension)
    : m_extension(std::move(extension)), m_result(CallEntry(m_extension, "DllRegisterServer")) {}

CRegisteredExtension::~CRegisteredExtension() {
    if (SUCCEEDED(m_result)) EXPECT_EQ(CallEntry(m_extension, "DllUnregisterServer"), S_OK);
}

namespace {

struct MutexHolderStart {
    HANDLE held;
    HANDLE release;
};

DWORD WINAPI HoldStorageMutex(void* param) {
    const MutexHolderStart start = *static_cast<MutexHolderStart*>(param);
    UniqueKernelHandle mutex(::CreateMutexW(nullptr, FALSE, kLocalStorageMutexName));
    if (mutex) ::WaitForSingleObject(mutex.Get(), INFINITE);
    ::SetEvent(start.held);
    ::WaitForSingleObject(start.release, INFINITE);
    if (mutex) ::ReleaseMutex(mutex.Get());
    return 0;
}

}  // namespace

CStorageMutexHolder::CStorageMutexHolder()
    : m_held(::CreateEventW(nullptr, TRUE, FALSE, nullptr)), m_release(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    MutexHolderStart start = {m_held.Get(), m_release.Get()};
    m_thread.Reset(::CreateThread(nullptr, 0, HoldStorageMutex, &start, 0, nullptr));
    if (m_thread) ::WaitForSingleObject(m_held.Get(), INFINITE);
}

CStorageMutexHolder::~CStorageMutexHolder() {
    ::SetEvent(m_release.Get());
    if (m_thread) ::WaitForSingleObject(m_thread.Get(), INFINITE);
}

namespace {

// A child that neither ends nor hangs up is given this long.
constexpr DWORD kChildRunLimitMs = 300000;

std::wstring Widened(const std::string& text) { return std::wstring(text.begin(), text.end()); }

// What the child's XML report (GoogleTest's format) says of one test.
ChildTestOutcome OutcomeInReport(const std::string& report, const std::string& testName) {
    const size_t dot = testName.find('.');
    if (dot == std::string::npos) return ChildTestOutcome::NotRun;
    const std::string suite = testName.substr(0, dot);
    const std::string start = "<testcase name=\"" + testName.substr(dot + 1) + "\"";
    for (size_t at = report.find(start); at != std::string::npos; at = report.find(start, at + 1)) {
        const size_t tagEnd = report.find('>', at);
        if (tagEnd == std::string::npos) return ChildTestOutcome::NoReport;
        const std::string tag = report.substr(at, tagEnd + 1 - at);
        if (tag.find(" classname=\"" + suite + "\"") == std::string::npos) continue;
        if (tag.find(" status=\"run\"") == std::string::npos) return ChildTestOutcome::NotRun;
        std::string body;
        if (tag.compare(tag.size() - 2, 2, "/>") != 0) {
            const size_t end = report.find("</testcase>", tagEnd);
            if (end == std::string::npos) return ChildTestOutcome::NoReport;
            body = report.substr(tagEnd, end - tagEnd);
        }
        if (body.find("<failure") != std::string::npos) return ChildTestOutcome::Failed;
        if (tag.find(" result=\"skipped\"") != std::string::npos) return ChildTestOutcome::Skipped;
        if (tag.find(" result=\"completed\"") != std::string::npos) return ChildTestOutcome::Passed;
        return ChildTestOutcome::Failed;
    }
    return ChildTestOutcome::NotRun;
}

// The child's output, for the parent's own output. ctest takes GoogleTest's
// skip mark anywhere in a test's output for that test's own skip, so the
// child's marks are shown in other letters.
std::string ChildOutputToShow(std::string output) {
    const std::string skipMark = "[  SKIPPED ]";
    for (size_t at = output.find(skipMark); at != std::string::npos; at = output.find(skipMark, at))
        output.replace(at, skipMark.size(), "[  skipped ]");
    return "---- the child's output\n" + output + "\n---- end of the child's output";
}

}  // namespace

std::ostream& operator<<(std::ostream& out, ChildTestOutcome outcome) {
    switch (outcome) {
    case ChildTestOutcome::Passed: return out << "passed";
    case ChildTestOutcome::Failed: return out << "failed";
    case ChildTestOutcome::Skipped: return out << "skipped";
    case ChildTestOutcome::NotRun: return out << "not run";
    case ChildTestOutcome::NoReport: return out << "no report";
    }
    return out << "unknown";
}

ChildTestOutcome RunTestInCopy(const wchar_t* programName, const std::string& testName) {
    CTempFolder folder;
    if (!folder.Create()) return ChildTestOutcome::NoReport;
    wchar_t self[MAX_PATH] = L"";
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::wstring program = folder / programName;
    if (!::CopyFileW(self, program.c_str(), FALSE)) return ChildTestOutcome::NoReport;
    const std::wstring outputPath = folder / L"output.txt";
    const std::wstring reportPath = folder / L"report.xml";
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    UniqueKernelHandle output(::CreateFileW(outputPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!output) return ChildTestOutcome::NoReport;
    std::wstring commandLine = L"\"" + program + L"\" --gtest_filter=" + Widened(testName) +
                               L" --gtest_output=xml:" + reportPath;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = output.Get();
    startup.hStdError = output.Get();
    PROCESS_INFORMATION info = {};
    if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                          &info))
        return ChildTestOutcome::NoReport;
    UniqueKernelHandle process(info.hProcess), thread(info.hThread);
    if (::WaitForSingleObject(process.Get(), kChildRunLimitMs) != WAIT_OBJECT_0) {
        ::TerminateProcess(process.Get(), 1);
        ::WaitForSingleObject(process.Get(), INFINITE);
    }
    DWORD code = 1;
    ::GetExitCodeProcess(process.Get(), &code);
    output.Reset();
    std::cout << ChildOutputToShow(ReadFileBytes(outputPath)) << std::endl;
    if (!FileExists(reportPath)) return ChildTestOutcome::NoReport;
    const ChildTestOutcome outcome = OutcomeInReport(ReadFileBytes(reportPath), testName);
    // A child that passed its test and then died on the way out has not passed.
    if (outcome == ChildTestOutcome::Passed && code != 0) return ChildTestOutcome::Failed;
    return outcome;
}

void ShellExtTest::SetUp() {
    m_overlayLibrary = BesideExtension(m_extension, L"BrelioIconOverlay.dll");
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKeyPath);
    m_registration = std::make_unique<CRegisteredExtension>(m_extension);
    ASSERT_EQ(m_registration->Result(), S_OK);
    m_comStarted = SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
}

void ShellExtTest::TearDown() {
    if (m_comStarted) ::CoUninitialize();
    m_registration.reset();
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKeyPath);
}

ComPtr<IShellIconOverlayIdentifier> ShellExtTest::CreateHandler(const CLSID& clsid) {
    ComPtr<IShellIconOverlayIdentifier> handler;
    EXPECT_EQ(::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IShellIconOverlayIdentifier,
                                 handler.PutVoid()),
              S_OK);
    return handler;
}

HRESULT ShellExtTest::CanUnloadNow() const {
    HMODULE module = ::GetModuleHandleW(m_extension.c_str());
    if (module == nullptr) return E_UNEXPECTED;
    auto entry = reinterpret_cast<RegistrationEntry>(reinterpret_cast<void*>(::GetProcAddress(module, "DllCanUnloadNow")));
    return entry ? entry() : E_NOINTERFACE;
}

bool ShellExtTest::IsExtensionLoaded() const { return ::GetModuleHandleW(m_extension.c_str()) != nullptr; }

bool ShellExtTest::IsOverlayLibraryLoaded() const { return ::GetModuleHandleW(m_overlayLibrary.c_str()) != nullptr; }

RecordedOverlayCall ShellExtTest::LastCall() const {
    RecordedOverlayCall call = {};
    HMODULE module = ::GetModuleHandleW(m_overlayLibrary.c_str());
    if (module == nullptr) return call;
    auto get = reinterpret_cast<GetRecordedCallFunction>(
        reinterpret_cast<void*>(::GetProcAddress(module, "GetRecordedCall")));
    if (get != nullptr) get(&call);
    return call;
}

void ShellExtTest::SetAnswer(HRESULT answer) const {
    HMODULE module = ::GetModuleHandleW(m_overlayLibrary.c_str());
    ASSERT_NE(module, nullptr) << "the overlay library is loaded";
    auto set = reinterpret_cast<SetOverlayAnswerFunction>(
        reinterpret_cast<void*>(::GetProcAddress(module, "SetOverlayAnswer")));
    ASSERT_NE(set, nullptr);
    set(answer);
}

void ShellExtTest::ReleaseStall() const {
    HMODULE module = ::GetModuleHandleW(m_overlayLibrary.c_str());
    ASSERT_NE(module, nullptr) << "the overlay library is loaded";
    auto release = reinterpret_cast<ReleaseStallFunction>(
        reinterpret_cast<void*>(::GetProcAddress(module, "ReleaseStall")));
    ASSERT_NE(release, nullptr);
    release();
}

}  // namespace brelio::test
