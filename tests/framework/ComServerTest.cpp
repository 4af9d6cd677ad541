#include <windows.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include <string>

#include "BrelioCore/ComPtr.h"
#include "BrelioCore/UniqueHandle.h"
#include "comserver/TestServer.h"

namespace {

using GetClassObjectFunction = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
using NoArgumentFunction = HRESULT(WINAPI*)();
using InstallFunction = HRESULT(WINAPI*)(BOOL, LPCWSTR);
using BreakFunction = void(WINAPI*)(BOOL);

bool KeyExists(HKEY root, const std::wstring& path) {
    brelio::UniqueRegKey key;
    return ::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.Put()) == ERROR_SUCCESS;
}

std::wstring DefaultValue(HKEY root, const std::wstring& path) {
    wchar_t text[MAX_PATH] = L"";
    DWORD bytes = sizeof(text);
    if (::RegGetValueW(root, path.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, text, &bytes) != ERROR_SUCCESS) return L"";
    return text;
}

// The server library, loaded for one test and its exports at hand.
class ComServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        library.Reset(::LoadLibraryW(L"test_com_server.dll"));
        ASSERT_TRUE(library);
        getClassObject = Export<GetClassObjectFunction>("DllGetClassObject");
        canUnloadNow = Export<NoArgumentFunction>("DllCanUnloadNow");
        registerServer = Export<NoArgumentFunction>("DllRegisterServer");
        unregisterServer = Export<NoArgumentFunction>("DllUnregisterServer");
        install = Export<InstallFunction>("DllInstall");
        breakRegistration = Export<BreakFunction>("TestBreakRegistration");
        ASSERT_TRUE(getClassObject && canUnloadNow && registerServer && unregisterServer && install && breakRegistration);
        wchar_t path[MAX_PATH] = L"";
        ::GetModuleFileNameW(library.Get(), path, MAX_PATH);
        libraryPath = path;
    }
    void TearDown() override {
        if (unregisterServer) unregisterServer();
        if (install) install(FALSE, nullptr);
    }

    template <typename F>
    F Export(const char* name) const {
        return reinterpret_cast<F>(reinterpret_cast<void*>(::GetProcAddress(library.Get(), name)));
    }

    brelio::UniqueModule library;
    std::wstring libraryPath;
    GetClassObjectFunction getClassObject = nullptr;
    NoArgumentFunction canUnloadNow = nullptr;
    NoArgumentFunction registerServer = nullptr;
    NoArgumentFunction unregisterServer = nullptr;
    InstallFunction install = nullptr;
    BreakFunction breakRegistration = nullptr;
};

const std::wstring kMachineClass = std::wstring(L"CLSID\\") + kTestAdderClsid;
const std::wstring kUserClass = std::wstring(L"Software\\Classes\\CLSID\\") + kTestAdderClsid;

}  // namespace

TEST_F(ComServerTest, ClassObjectsMakeObjectsAndHoldTheLibrary) {
    EXPECT_EQ(canUnloadNow(), S_OK);
    brelio::ComPtr<IClassFactory> factory;
    ASSERT_EQ(getClassObject(CLSID_TestAdder, IID_IClassFactory, factory.PutVoid()), S_OK);
    EXPECT_EQ(canUnloadNow(), S_FALSE);
    brelio::ComPtr<ITestAdder> adder;
    ASSERT_EQ(factory->CreateInstance(nullptr, __uuidof(ITestAdder), adder.PutVoid()), S_OK);
    long sum = 0;
    EXPECT_EQ(adder->Add(40, 2, &sum), S_OK);
    EXPECT_EQ(sum, 42);
    brelio::ComPtr<IUnknown> outer;
    EXPECT_EQ(factory->CreateInstance(adder.Get(), IID_IUnknown, outer.PutVoid()), CLASS_E_NOAGGREGATION);
    factory.Reset();
    EXPECT_EQ(canUnloadNow(), S_FALSE) << "the object still lives";
    adder.Reset();
    EXPECT_EQ(canUnloadNow(), S_OK);

    brelio::ComPtr<IClassFactory> none;
    EXPECT_EQ(getClassObject(IID_IUnknown, IID_IClassFactory, none.PutVoid()), CLASS_E_CLASSNOTAVAILABLE);
}

TEST_F(ComServerTest, RegistrationWritesTheScriptsWithTheLibraryPathAndComFindsIt) {
    ASSERT_EQ(registerServer(), S_OK);
    EXPECT_EQ(::lstrcmpiW(DefaultValue(HKEY_CLASSES_ROOT, kMachineClass + L"\\InprocServer32").c_str(),
                          libraryPath.c_str()),
              0);
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, std::wstring(L"TypeLib\\") + kTestLibid));

    brelio::ComPtr<ITestAdder> adder;
    ASSERT_EQ(::CoCreateInstance(CLSID_TestAdder, nullptr, CLSCTX_INPROC_SERVER, __uuidof(ITestAdder),
                                 adder.PutVoid()),
              S_OK);
    long sum = 0;
    EXPECT_EQ(adder->Add(1, 2, &sum), S_OK);
    EXPECT_EQ(sum, 3);
    adder.Reset();

    ASSERT_EQ(unregisterServer(), S_OK);
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kMachineClass));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L"CLSID")) << "never removed";
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, std::wstring(L"TypeLib\\") + kTestLibid));
}

TEST_F(ComServerTest, InstallForTheUserOnlyWithTheWordUser) {
    // A longer or shorter word leaves registration for all users.
    for (const wchar_t* word : {L"users", L"use"}) {
        ASSERT_EQ(install(TRUE, word), S_OK) << word;
        EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kUserClass)) << word;
        EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, kMachineClass)) << word;
        ASSERT_EQ(install(FALSE, word), S_OK) << word;
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kMachineClass)) << word;
    }
    ASSERT_EQ(install(TRUE, L"USER"), S_OK);
    EXPECT_EQ(::lstrcmpiW(DefaultValue(HKEY_CURRENT_USER, kUserClass + L"\\InprocServer32").c_str(),
                          libraryPath.c_str()),
              0);
    ASSERT_EQ(install(FALSE, nullptr), S_OK) << "still per user: the switch stays on";
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kUserClass));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, L"Software\\Classes\\CLSID"));
}

TEST_F(ComServerTest, FailedInstallLeavesNoKeysOfItsScripts) {
    breakRegistration(TRUE);
    EXPECT_EQ(install(TRUE, nullptr), HRESULT_FROM_WIN32(ERROR_RESOURCE_NAME_NOT_FOUND));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kMachineClass));
    breakRegistration(FALSE);
}
