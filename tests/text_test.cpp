#include "common/text.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace {

void collect(void* context, const unsigned char* bytes, std::size_t count) {
    static_cast<std::string*>(context)->append(reinterpret_cast<const char*>(bytes), count);
}

// Formats through a sink whose buffer holds only `capacity` bytes, so long output is flushed
// in many pieces.
template <typename... Args>
std::string format_with(std::size_t capacity, const char* format, Args... args) {
    std::string out;
    unsigned char buffer[64];
    text_sink sink = {buffer, capacity, 0, collect, &out};
    sink_format(&sink, format, args...);
    sink_flush(&sink);
    return out;
}

TEST(TextSink, NewlinesBecomeCrLfInFormatsAndArguments) {
    EXPECT_EQ(format_with(64, "a\nb\n"), "a\r\nb\r\n");
    EXPECT_EQ(format_with(64, "%s\n", "x\ny"), "x\r\ny\r\n");
    EXPECT_EQ(format_with(64, "\r"), "\r") << "a lone CR is not a newline";
}

TEST(TextSink, ArgumentsAreData) {
    EXPECT_EQ(format_with(64, "%s: Open File Error\n", "%s%n%d.bin"),
              "%s%n%d.bin: Open File Error\r\n");
    EXPECT_EQ(format_with(64, "100%% %q"), "100% q");
}

TEST(TextSink, Numbers) {
    EXPECT_EQ(format_with(64, "[%d] [%d] [%d]", 0, 35, -7), "[0] [35] [-7]");
    EXPECT_EQ(format_with(64, "%d %d", INT_MAX, INT_MIN), "2147483647 -2147483648");
    EXPECT_EQ(format_with(64, "%02X%02X%02X", 0x00u, 0x0Au, 0xFFu), "000AFF");
}

TEST(TextSink, LongOutputSurvivesEveryBufferSize) {
    std::string path(1000, 'p');
    for (std::size_t i = 0; i < path.size(); i += 7)
        path[i] = '\n';
    std::string expected;
    for (char c : path)
        expected += c == '\n' ? std::string("\r\n") : std::string(1, c);
    expected += " - Not found\r\n";
    for (std::size_t capacity : {1, 2, 3, 64})
        EXPECT_EQ(format_with(capacity, "%s - Not found\n", path.c_str()), expected)
            << "capacity " << capacity;
}

} // namespace
