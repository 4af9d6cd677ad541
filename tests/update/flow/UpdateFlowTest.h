#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "BrelioCore/JXVersion.h"
#include "TempFolder.h"

namespace brelio::test {

// A test that runs the updater against the stand-in's update host: the
// release is cleared before and after, the work directories it makes are
// removed, and the stored shell extension is put back.
class UpdateFlowTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Work directories made since the test began.
    std::vector<std::wstring> NewWorkDirs() const;
    // A scratch installation of the old version, in a folder whose name is
    // not ASCII.
    std::wstring MakeInstallation();
    // Serves the fixtures' update cabinet and a manifest offering it.
    void OfferUpdate(const std::string& version, const std::string& force = "");

    CTempFolder m_scratch;

private:
    std::vector<std::wstring> m_workDirsBefore;
    bool m_hadExtension = false;
    std::wstring m_extension;
};

// The running program's version with one part raised (0 major ... 3 the
// last), the parts after it zero; or as it is for -1.
std::string RunningVersionRaised(int part);

// Adds an update host fault answering the manifest with `status`.
void FailManifestWith(int status);

}  // namespace brelio::test
