#pragma once
// Seeds a randomised test runs on, named by the environment so that a
// failure can be run again: <one> names a single seed; <range> names a count
// (seeds 1 to count) or "<first>-<last>".
#include <cstdint>
#include <vector>

namespace brelio::test {

// Empty when neither variable is set.
std::vector<uint32_t> SeedsFromEnvironment(const char* oneVariable, const char* rangeVariable);

}  // namespace brelio::test
