#include "Seeds.h"

#include <cstdlib>

namespace brelio::test {

std::vector<uint32_t> SeedsFromEnvironment(const char* oneVariable, const char* rangeVariable) {
    std::vector<uint32_t> seeds;
    if (const char* one = std::getenv(oneVariable); one != nullptr && *one != '\0') {
        seeds.push_back(static_cast<uint32_t>(std::strtoul(one, nullptr, 10)));
        return seeds;
    }
    const char* range = std::getenv(rangeVariable);
    if (range == nullptr || *range == '\0') return seeds;
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

}  // namespace brelio::test
