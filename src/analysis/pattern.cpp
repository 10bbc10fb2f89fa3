#include "analysis/pattern.h"

#include <cstring>

// Not So Naive search: the second byte first, then the tail from the third byte, the first byte
// last. The two skips come from whether the pattern's first two bytes are equal; neither can
// pass over an occurrence.
std::optional<std::size_t> find_pattern(const unsigned char* data, std::size_t data_len,
                                        const unsigned char* pattern, std::size_t pattern_len) {
    if (pattern_len < 2 || pattern_len > data_len)
        return std::nullopt;
    std::size_t skip_on_mismatch = 1;
    std::size_t skip_on_hit = 2;
    if (pattern[0] == pattern[1]) {
        skip_on_mismatch = 2;
        skip_on_hit = 1;
    }
    const std::size_t last_start = data_len - pattern_len;
    std::size_t j = 0;
    while (j <= last_start) {
        if (data[j + 1] != pattern[1]) {
            j += skip_on_mismatch;
        } else {
            if (std::memcmp(data + j + 2, pattern + 2, pattern_len - 2) == 0 &&
                data[j] == pattern[0])
                return j;
            j += skip_on_hit;
        }
    }
    return std::nullopt;
}
