// Property: on any 64 KiB window with the version signature planted anywhere, its last bytes
// included, extract_version reports 0 to 35 stores, found exactly when it stored at least
// once, changes no version element past 6, gives the same result a second time, and reads
// nothing outside the window (an exact heap allocation, so AddressSanitizer sees any
// over-read).
//
// Input: two bytes choose where the signature goes (the high bit of the first picks the last
// 48 positions of the window); the rest is the code that follows it.
#include "analysis/image.h"
#include "analysis/version.h"
#include "fuzz_assert.h"

#include <cstdint>
#include <cstring>
#include <memory>

namespace {

const unsigned char SIGNATURE[] = {0x90, 0x07, 0xF0, 0x74};

bool same(const version_result& a, const version_result& b) {
    return std::memcmp(a.version_bytes, b.version_bytes, sizeof a.version_bytes) == 0 &&
           a.store_count == b.store_count && a.found == b.found &&
           a.instruction_count == b.instruction_count;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2)
        return 0;
    const std::size_t last_start = IMAGE_WINDOW_SIZE - sizeof SIGNATURE;
    const std::size_t choice = static_cast<std::size_t>(data[0] & 0x7F) << 8 | data[1];
    const std::size_t at = (data[0] & 0x80) != 0 ? last_start - choice % 48 : choice % last_start;

    std::unique_ptr<unsigned char[]> window(new unsigned char[IMAGE_WINDOW_SIZE]);
    std::memset(window.get(), 0, IMAGE_WINDOW_SIZE);
    std::memcpy(window.get() + at, SIGNATURE, sizeof SIGNATURE);
    const std::size_t room = IMAGE_WINDOW_SIZE - at - sizeof SIGNATURE;
    const std::size_t code = size - 2 < room ? size - 2 : room;
    std::memcpy(window.get() + at + sizeof SIGNATURE, data + 2, code);

    const version_result first = extract_version(window.get(), IMAGE_WINDOW_SIZE);
    FUZZ_ASSERT(first.store_count >= 0 && first.store_count <= 35);
    FUZZ_ASSERT(first.found == (first.store_count >= 1));
    for (std::size_t i = 7; i < sizeof first.version_bytes; ++i)
        FUZZ_ASSERT(first.version_bytes[i] == 0);
    FUZZ_ASSERT(same(first, extract_version(window.get(), IMAGE_WINDOW_SIZE)));
    return 0;
}
