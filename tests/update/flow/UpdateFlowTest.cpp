#include "UpdateFlowTest.h"

#include <algorithm>

#include "BrelioCore/TextConvert.h"
#include "BrelioServices/Log.h"
#include "BrelioServices/PathHelpers.h"
#include "BrelioServices/RegistryKey.h"
#include "BrelioServices/RegistryLayout.h"
#include "BrelioUpdate/ShellExtRegistration.h"
#include "BrelioUpdate/UpdatePaths.h"
#include "StandinControl.h"
#include "StandinRelease.h"
#include "UpdateFixtures.h"

namespace brelio::test {

void UpdateFlowTest::SetUp() {
    SetLogPath(GetLogFilePath().c_str());
    SetLogEnabled(true);
    ClearRelease();
    ClearUpdateHostFaults();
    ClearUpdateHostRequests();
    ClearForeignHostRequests();
    m_workDirsBefore = ListWorkDirs();
    m_hadExtension = ReadShellExtensionPath(m_extension);
    ASSERT_TRUE(m_scratch.Create());
}

void UpdateFlowTest::TearDown() {
    ClearRelease();
    ClearUpdateHostFaults();
    for (const std::wstring& folder : NewWorkDirs()) RemoveTree(folder);
    UniqueRegistryKey key;
    if (CreateRegistryKey(HKEY_CURRENT_USER, kSettingsKeyPath, KEY_READ | KEY_WRITE, key) != ERROR_SUCCESS) return;
    if (m_hadExtension)
        WriteRegistryString(key.Get(), kShellExtensionValue, m_extension);
    else
        ::RegDeleteValueW(key.Get(), kShellExtensionValue);
}

std::vector<std::wstring> UpdateFlowTest::NewWorkDirs() const {
    std::vector<std::wstring> added;
    for (const std::wstring& folder : ListWorkDirs()) {
        if (std::find(m_workDirsBefore.begin(), m_workDirsBefore.end(), folder) == m_workDirsBefore.end())
            added.push_back(folder);
    }
    return added;
}

std::wstring UpdateFlowTest::MakeInstallation() {
    const std::wstring install = m_scratch / L"\uC124\uCE58 \u00FC";
    EXPECT_TRUE(CopyTree(FixturePath(L"installed"), install));
    return install;
}

void UpdateFlowTest::OfferUpdate(const std::string& version, const std::string& force) {
    AddReleaseFile("update.cab", FixtureUnixPath("update.cab"));
    SetRelease(version, ReleaseFileLink("update.cab"), force);
}

std::string RunningVersionRaised(int part) {
    WORD parts[4] = {};
    GetRunningVersion().GetVersion(parts);
    if (part >= 0) {
        ++parts[part];
        for (int i = part + 1; i < 4; ++i) parts[i] = 0;
    }
    return std::to_string(parts[0]) + "." + std::to_string(parts[1]) + "." + std::to_string(parts[2]) + "." +
           std::to_string(parts[3]);
}

void FailManifestWith(int status) {
    Json::Value fault;
    fault["status"] = status;
    AddUpdateHostFault("^/release/drive/win", fault);
}

}  // namespace brelio::test
