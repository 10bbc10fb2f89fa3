#pragma once

#include <cstddef>
#include <optional>

// Position of the leftmost occurrence of pattern in data, or none. pattern_len must be at
// least 2; a shorter pattern is never found.
std::optional<std::size_t> find_pattern(const unsigned char* data, std::size_t data_len,
                                        const unsigned char* pattern, std::size_t pattern_len);
