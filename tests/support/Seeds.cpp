#include "Seeds.h"

#include <cstdlib>

namespace brelio::test {

namespace {

const char* SetVariable(const char* name) {
    const char* text = std::getenv(name);
    return text != nullptr && *text != '\0' ? text : nullptr;
}

}  // namespace

std::vector<uint32_t> SeedsFromEnvironment(const char* oneVariable, const char* rangeVariable) {
    std::vector<uint32_t> seeds;
    if (const char* one = SetVariable(oneVariable); one != nullptr) {
        seeds.push_back(static_cast<uint32_t>(std::strtoul(one, nullptr, 10)));
        return seeds;
    }
    const char* range = SetVariable(rangeVariable);
    if (range == nullptr) return seeds;
    char* end = nullptr;
    unsigned long first = std::strtoul(range, &end, 10);
    unsigned long last = first;
    if (end != nullptr && *end == '-')
        last = std::strtoul(end + 1, nullptr, 10);
    else
        first = 1;
    for (unsigned long seed = first; seed <= last; ++seed) seeds.push_back(static_cast<uint32_t>(seed));
    return seeds;
}

std::vector<uint32_t> SeedsFromEnvironment(const char* oneVariable, const char* rangeVariable, uint32_t defaultCount) {
    // Seed 0, or a count of none, names no seed: the default run goes.
    std::vector<uint32_t> seeds = SeedsFromEnvironment(oneVariable, rangeVariable);
    std::erase(seeds, 0u);
    if (!seeds.empty()) return seeds;
    for (uint32_t seed = 1; seed <= defaultCount; ++seed) seeds.push_back(seed);
    return seeds;
}

int PositiveFromEnvironment(const char* variable, int fallback) {
    const char* text = SetVariable(variable);
    if (text == nullptr) return fallback;
    const int value = std::atoi(text);
    return value > 0 ? value : fallback;
}

}  // namespace brelio::test
