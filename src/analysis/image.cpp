#include "analysis/image.h"

#include "common/text.h"
#include "platform/platform.h"

#include <cstring>

int load_image(const char* path, unsigned char* window, std::size_t capacity) {
    // Bytes past the end of a short file are searched too, so they must not be left to chance.
    std::memset(window, 0, capacity);
    std::size_t count = 0;
    if (!read_image_file(path, window, capacity, &count)) {
        print_text("%s: Open File Error\n", path);
        return 0;
    }
    if (count == 0) {
        print_text("%s: Read File Error\n", path);
        return 0;
    }
    return 1;
}
