// The image window: the start of a firmware image, the only part that is ever examined.
#pragma once

#include <cstddef>

constexpr std::size_t IMAGE_WINDOW_SIZE = 65536;

// Clears window[0 .. capacity) and reads up to capacity bytes from the start of the file at
// path into it. Returns 1 when at least one byte was read. On failure prints
// "<path>: Open File Error" or "<path>: Read File Error" and returns 0.
int load_image(const char* path, unsigned char* window, std::size_t capacity);
