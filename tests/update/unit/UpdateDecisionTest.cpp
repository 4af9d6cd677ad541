// Which update a manifest offers, from the running and offered versions.
#include <gtest/gtest.h>

#include "BrelioUpdate/UpdateDecision.h"

namespace {

TEST(UpdateDecision, VersionsAndForceDecide) {
    const struct {
        bool force;
        const wchar_t* running;
        const wchar_t* offered;
        UpdateCheck expected;
    } cases[] = {
        {true, L"1.0.0.5", L"1.0.0.5", UpdateCheck::kMajor},   // forced, versions not even compared
        {true, L"2.0.0.0", L"1.0.0.0", UpdateCheck::kMajor},
        {false, L"1.0.0.5", L"1.0.0.7", UpdateCheck::kMinor},
        {false, L"1.0.1.0", L"1.0.0.9", UpdateCheck::kNone},
        {false, L"1.0.0.1", L"1.1.0.0", UpdateCheck::kMajor},
        {false, L"1.0.0.1", L"1.0.0.1", UpdateCheck::kNone},
        {false, L"1.0.0.7", L"1.0.0.5", UpdateCheck::kNone},
        {false, L"2.0.0.0", L"1.9.9.9", UpdateCheck::kNone},
        {false, L"1.2.3.9", L"1.2.4.0", UpdateCheck::kMajor},  // the third part decides before the fourth
        {false, L"1.2.3.4", L"2.0.0.0", UpdateCheck::kMajor},
        {false, L"0.0.0.0", L"0.0.0.1", UpdateCheck::kMinor},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DecideUpdate(c.force, CJXVersion(c.running), CJXVersion(c.offered)), c.expected)
            << (c.force ? "forced " : "") << ::testing::PrintToString(std::wstring(c.running)) << " -> "
            << ::testing::PrintToString(std::wstring(c.offered));
    }
}

}  // namespace
