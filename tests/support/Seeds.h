#pragma once
// Seeds a randomised test runs on, named by the environment so that a
// failure can be run again: <one> names a single seed; <range> names a count
// (seeds 1 to count) or "<first>-<last>".
#include <cstdint>
#include <vector>

namespace brelio::test {

// Empty when neither variable is set.
std::vector<uint32_t> SeedsFromEnvironment(const char* oneVariable, const char* rangeVariable);
// The same, seeds 1 to the default count when neither variable names any.
std::vector<uint32_t> SeedsFromEnvironment(const char* oneVariable, const char* rangeVariable, uint32_t defaultCount);
// A positive number the environment gives (a count of rounds, say), else
// the fallback.
int PositiveFromEnvironment(const char* variable, int fallback);

}  // namespace brelio::test
