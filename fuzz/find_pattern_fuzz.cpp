// Property: find_pattern returns the same leftmost position as a plain std::search, or the
// same absence, for any data and any pattern of 2 bytes or more; data and pattern are exact
// heap allocations, so AddressSanitizer sees any read past either.
//
// Input: the first byte gives the pattern's length (2 to 17), the pattern follows, the rest
// is the data.
#include "analysis/pattern.h"
#include "fuzz_assert.h"

#include <algorithm>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    const std::size_t pattern_len = 2 + data[0] % 16;
    if (size - 1 < pattern_len)
        return 0;
    const std::vector<unsigned char> pattern(data + 1, data + 1 + pattern_len);
    const std::vector<unsigned char> text(data + 1 + pattern_len, data + size);

    const auto found = find_pattern(text.data(), text.size(), pattern.data(), pattern.size());
    const auto it = std::search(text.begin(), text.end(), pattern.begin(), pattern.end());
    if (it == text.end())
        FUZZ_ASSERT(!found.has_value());
    else
        FUZZ_ASSERT(found.has_value() && *found == static_cast<std::size_t>(it - text.begin()));
    return 0;
}
