// Registration of the extension by regsvr32, as an installer or the
// updater does it: the keys and values written, per machine and per user,
// read back from the registry.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "BrelioCore/UniqueHandle.h"
#include "BrelioServices/RegistryKey.h"
#include "ShellExtTest.h"

using namespace brelio;
using namespace brelio::test;

namespace {

// Where HKCR is kept: the machine's or the user's "Software\\Classes".
constexpr wchar_t kClasses[] = L"Software\\Classes";

// regsvr32 with the arguments and the built library; its exit code.
DWORD RunRegsvr32(const std::wstring& arguments) {
    wchar_t system[MAX_PATH] = L"";
    ::GetSystemDirectoryW(system, MAX_PATH);
    const std::wstring program = std::wstring(system) + L"\\regsvr32.exe";
    std::wstring commandLine = L"regsvr32.exe " + arguments + L" \"" + BuiltExtensionPath() + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &info))
        return 0xFFFFFFFF;
    UniqueKernelHandle process(info.hProcess), thread(info.hThread);
    ::WaitForSingleObject(process.Get(), INFINITE);
    DWORD code = 0xFFFFFFFF;
    ::GetExitCodeProcess(process.Get(), &code);
    return code;
}

bool KeyExists(HKEY root, const std::wstring& path) {
    UniqueRegistryKey key;
    return OpenRegistryKey(root, path.c_str(), KEY_READ, key) == ERROR_SUCCESS;
}

// A string value; "<missing>" when there is none.
std::wstring StringValue(HKEY root, const std::wstring& path, const wchar_t* name) {
    UniqueRegistryKey key;
    std::wstring text;
    if (OpenRegistryKey(root, path.c_str(), KEY_READ, key) != ERROR_SUCCESS ||
        ReadRegistryString(key.Get(), name, text) != ERROR_SUCCESS)
        return L"<missing>";
    return text;
}

struct ExpectedValue {
    HKEY root;
    std::wstring key;
    const wchar_t* name;  // null: the default value
    std::wstring data;
};

// Every value the registration writes, with `classes` where HKCR stands.
std::vector<ExpectedValue> RegistrationTable(HKEY classesRoot, const std::wstring& classes) {
    std::vector<ExpectedValue> table;
    for (const HandlerClass& handler : kHandlerClasses) {
        const std::wstring key = classes + L"\\CLSID\\" + handler.clsidText;
        table.push_back({classesRoot, key, nullptr, handler.description});
        table.push_back({classesRoot, key + L"\\InprocServer32", nullptr, BuiltExtensionPath()});
        table.push_back({classesRoot, key + L"\\InprocServer32", L"ThreadingModel", L"Apartment"});
        table.push_back({classesRoot, key + L"\\TypeLib", nullptr, kLibidText});
        table.push_back({classesRoot, key + L"\\Version", nullptr, L"1.0"});
        table.push_back({HKEY_LOCAL_MACHINE, std::wstring(kOverlayIdentifiersKey) + L"\\" + handler.overlayName, nullptr,
                         handler.clsidText});
    }
    return table;
}

void ExpectNothingOfOurs(HKEY classesRoot, const std::wstring& classes) {
    for (const HandlerClass& handler : kHandlerClasses) {
        EXPECT_FALSE(KeyExists(classesRoot, classes + L"\\CLSID\\" + handler.clsidText)) << handler.clsidText;
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, std::wstring(kOverlayIdentifiersKey) + L"\\" + handler.overlayName));
    }
}

class ShellExtRegistration : public ::testing::Test {
protected:
    void TearDown() override {
        RunRegsvr32(L"/s /u");
        RunRegsvr32(L"/s /u /n /i:USER");
    }
};

}  // namespace

TEST_F(ShellExtRegistration, WritesTheClassesAndOverlayNamesPerMachineOrPerUser) {
    const struct {
        const wchar_t* install;
        const wchar_t* uninstall;
        bool perUser;
    } cases[] = {
        {L"/s", L"/s /u", false},
        {L"/s /n /i:USER", L"/s /u /n /i:USER", true},
        {L"/s /n /i:user", L"/s /u /n /i:user", true},
        // Only the word itself switches to the user's classes.
        {L"/s /n /i:users", L"/s /u /n /i:users", false},
        {L"/s /n /i:use", L"/s /u /n /i:use", false},
        {L"/s /n /i:USERX", L"/s /u /n /i:USERX", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.install, c.install + wcslen(c.install)));
        const HKEY classesRoot = c.perUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
        const HKEY otherRoot = c.perUser ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
        ASSERT_EQ(RunRegsvr32(c.install), 0u);
        for (const ExpectedValue& value : RegistrationTable(classesRoot, kClasses)) {
            const std::wstring read = StringValue(value.root, value.key, value.name);
            if (value.key.find(L"InprocServer32") != std::wstring::npos && value.name == nullptr)
                EXPECT_EQ(::lstrcmpiW(read.c_str(), value.data.c_str()), 0) << read;
            else
                EXPECT_EQ(read, value.data) << std::string(value.key.begin(), value.key.end());
        }
        for (const HandlerClass& handler : kHandlerClasses)
            EXPECT_FALSE(KeyExists(otherRoot, std::wstring(kClasses) + L"\\CLSID\\" + handler.clsidText));
        if (!c.perUser) EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, std::wstring(L"TypeLib\\") + kLibidText));

        ASSERT_EQ(RunRegsvr32(c.uninstall), 0u);
        ExpectNothingOfOurs(classesRoot, kClasses);
        EXPECT_TRUE(KeyExists(classesRoot, std::wstring(kClasses) + L"\\CLSID")) << "never removed";
        EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kOverlayIdentifiersKey)) << "never removed";
        if (!c.perUser) EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, std::wstring(L"TypeLib\\") + kLibidText));
    }
}

TEST_F(ShellExtRegistration, AFailedInstallLeavesNothingBehind) {
    // A volatile key where the type library's key goes: the library's key
    // cannot be made under it, so registration fails after the three
    // classes were written.
    const std::wstring blocker = std::wstring(L"TypeLib\\") + kLibidText;
    for (const wchar_t* install : {L"/s /n /i:USER", L"/s /n /i:all"}) {
        SCOPED_TRACE(std::string(install, install + wcslen(install)));
        const bool perUser = wcsstr(install, L"USER") != nullptr;
        ::RegDeleteTreeW(HKEY_CLASSES_ROOT, blocker.c_str());
        UniqueRegistryKey key;
        ASSERT_EQ(::RegCreateKeyExW(HKEY_CLASSES_ROOT, blocker.c_str(), 0, nullptr, REG_OPTION_VOLATILE, KEY_WRITE,
                                    nullptr, key.Put(), nullptr),
                  ERROR_SUCCESS);
        key.Reset();
        EXPECT_NE(RunRegsvr32(install), 0u);
        ExpectNothingOfOurs(perUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE, kClasses);
        ::RegDeleteTreeW(HKEY_CLASSES_ROOT, blocker.c_str());
    }
}
