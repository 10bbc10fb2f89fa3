#include "analysis/image.h"
#include "analysis/pattern.h"
#include "analysis/version.h"
#include "support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace {

using byte_vector = std::vector<unsigned char>;

const byte_vector SIGNATURE = {0x90, 0x07, 0xF0, 0x74};

// ---- find_pattern ----

struct search_case {
    const char* name;
    byte_vector data;
    byte_vector pattern;
    std::optional<std::size_t> expected;
};

void PrintTo(const search_case& c, std::ostream* os) {
    *os << c.name;
}

class FindPattern : public testing::TestWithParam<search_case> {};

TEST_P(FindPattern, ReturnsLeftmostOccurrence) {
    const search_case& c = GetParam();
    EXPECT_EQ(find_pattern(c.data.data(), c.data.size(), c.pattern.data(), c.pattern.size()),
              c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FindPattern,
    testing::Values(
        search_case{"at_start", {0x90, 0x07, 0xF0, 0x74, 0x00}, SIGNATURE, 0},
        search_case{"ends_at_last_byte", {0x00, 0x00, 0x90, 0x07, 0xF0, 0x74}, SIGNATURE, 2},
        search_case{"whole_data", SIGNATURE, SIGNATURE, 0},
        search_case{"after_a_false_start", {0x90, 0x90, 0x07, 0xF0, 0x74}, SIGNATURE, 1},
        search_case{
            "first_of_two", {0x01, 0x90, 0x07, 0xF0, 0x74, 0x90, 0x07, 0xF0, 0x74}, SIGNATURE, 1},
        search_case{"absent", {0x90, 0x07, 0xF0, 0x75, 0x07, 0xF0, 0x74}, SIGNATURE, {}},
        search_case{"pattern_longer_than_data", {0x90, 0x07, 0xF0}, SIGNATURE, {}},
        search_case{"empty_data", {}, SIGNATURE, {}},
        search_case{"equal_first_bytes", {0xAA, 0xAA, 0xAA, 0xBB}, {0xAA, 0xAA, 0xBB}, 1},
        search_case{"two_byte_pattern", {0x01, 0x02, 0x03}, {0x02, 0x03}, 1},
        search_case{"one_byte_pattern_is_refused", {0x01, 0x02}, {0x02}, {}}),
    [](const testing::TestParamInfo<search_case>& info) { return info.param.name; });

// The skips are where a search goes wrong; small alphabets give many near-misses.
TEST(FindPatternAgreesWithPlainSearch, OnRandomData) {
    std::mt19937 random(20261211);
    for (int round = 0; round < 20000; ++round) {
        const int alphabet = 2 + round % 3;
        byte_vector data(random() % 40);
        byte_vector pattern(2 + random() % 5);
        for (auto& b : data)
            b = static_cast<unsigned char>(random() % alphabet);
        for (auto& b : pattern)
            b = static_cast<unsigned char>(random() % alphabet);
        auto it = std::search(data.begin(), data.end(), pattern.begin(), pattern.end());
        std::optional<std::size_t> expected;
        if (it != data.end())
            expected = static_cast<std::size_t>(it - data.begin());
        ASSERT_EQ(find_pattern(data.data(), data.size(), pattern.data(), pattern.size()), expected)
            << "round " << round;
    }
}

// ---- extract_version ----

struct extract_case {
    const char* name;
    byte_vector code;           // placed at offset 0x100 of a zeroed window
    byte_vector expected_bytes; // version bytes 0..6
    int store_count;
};

void PrintTo(const extract_case& c, std::ostream* os) {
    *os << c.name;
}

byte_vector window_with(const byte_vector& code, std::size_t at = 0x100,
                        std::size_t size = IMAGE_WINDOW_SIZE) {
    byte_vector window(size, 0x00);
    std::copy(code.begin(), code.end(), window.begin() + static_cast<long>(at));
    return window;
}

byte_vector first_seven(const version_result& r) {
    return byte_vector(r.version_bytes, r.version_bytes + 7);
}

// The typical run: stores 13 06 27 00 00 02.
const byte_vector TYPICAL = {0x90, 0x07, 0xF0, 0x74, 0x13, 0xF0, 0xA3, 0x74, 0x06,
                             0xF0, 0xA3, 0x74, 0x27, 0xF0, 0xA3, 0x74, 0x00, 0xF0,
                             0xA3, 0x74, 0x00, 0xF0, 0xA3, 0x74, 0x02, 0xF0};

byte_vector concat(byte_vector a, const byte_vector& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

byte_vector zeros(std::size_t n) {
    return byte_vector(n, 0x00);
}

class ExtractVersion : public testing::TestWithParam<extract_case> {};

TEST_P(ExtractVersion, FollowsTheVersionCode) {
    const extract_case& c = GetParam();
    const byte_vector window = window_with(c.code);
    const version_result r = extract_version(window.data(), window.size());
    EXPECT_EQ(r.store_count, c.store_count);
    EXPECT_EQ(r.found, c.store_count >= 1);
    EXPECT_EQ(first_seven(r), c.expected_bytes);
    for (int i = 7; i < 16; ++i)
        EXPECT_EQ(r.version_bytes[i], 0) << "element " << i;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ExtractVersion,
    testing::Values(
        extract_case{"typical", concat(TYPICAL, {0x90}), {0x13, 0x06, 0x27, 0, 0, 0x02, 0}, 6},
        extract_case{"seventh_store_reaches_07F6",
                     concat(TYPICAL, {0xA3, 0x74, 0x55, 0xF0, 0x90}),
                     {0x13, 0x06, 0x27, 0, 0, 0x02, 0x55},
                     7},
        extract_case{"stops_once_dptr_passes_07F6",
                     {0x90, 0x07, 0xF0, 0x74, 0x01, 0xF0, 0xA3, 0xF0, 0xA3, 0xF0,
                      0xA3, 0xF0, 0xA3, 0xF0, 0xA3, 0xF0, 0xA3, 0xF0, 0xA3, 0xF0},
                     {1, 1, 1, 1, 1, 1, 1},
                     7},
        extract_case{"operand_F0_is_skipped",
                     {0x90, 0x07, 0xF0, 0x74, 0xF0, 0x74, 0xF0, 0xF0},
                     {0xF0, 0, 0, 0, 0, 0, 0},
                     1},
        extract_case{"operand_90_is_skipped",
                     {0x90, 0x07, 0xF0, 0x74, 0x90, 0xF0},
                     {0x90, 0, 0, 0, 0, 0, 0},
                     1},
        extract_case{"no_store_before_offset_40", {0x90, 0x07, 0xF0, 0x74, 0x12}, zeros(7), 0},
        extract_case{"store_at_offset_39_runs",
                     concat(concat({0x90, 0x07, 0xF0, 0x74, 0x12}, zeros(34)), {0xF0}),
                     {0x12, 0, 0, 0, 0, 0, 0},
                     1},
        extract_case{"store_at_offset_40_does_not",
                     concat(concat({0x90, 0x07, 0xF0, 0x74, 0x12}, zeros(35)), {0xF0}), zeros(7),
                     0},
        extract_case{"at_most_35_stores",
                     concat({0x90, 0x07, 0xF0, 0x74, 0x12}, byte_vector(40, 0xF0)),
                     {0x12, 0, 0, 0, 0, 0, 0},
                     35},
        extract_case{"mov_dptr_at_offset_5_ends_it",
                     {0x90, 0x07, 0xF0, 0x74, 0x12, 0x90, 0x07, 0xF0, 0xF0},
                     zeros(7),
                     0},
        extract_case{"inc_a_wraps", {0x90, 0x07, 0xF0, 0x74, 0xFF, 0x04, 0xF0}, zeros(7), 1},
        extract_case{
            "dec_a_wraps", {0x90, 0x07, 0xF0, 0x74, 0x00, 0x14, 0xF0}, {0xFF, 0, 0, 0, 0, 0, 0}, 1},
        extract_case{"clr_a", {0x90, 0x07, 0xF0, 0x74, 0x55, 0xE4, 0xF0}, zeros(7), 1},
        extract_case{"other_opcodes_are_one_byte",
                     {0x90, 0x07, 0xF0, 0x74, 0x33, 0x75, 0xF0, 0x22},
                     {0x33, 0, 0, 0, 0, 0, 0},
                     1},
        extract_case{"stores_overwrite_and_count",
                     {0x90, 0x07, 0xF0, 0x74, 0x11, 0xF0, 0xF0},
                     {0x11, 0, 0, 0, 0, 0, 0},
                     2},
        extract_case{"only_first_signature_runs",
                     concat({0x90, 0x07, 0xF0, 0x74, 0x12, 0x90}, TYPICAL), zeros(7), 0},
        extract_case{"no_signature", {0x90, 0x07, 0xF1, 0x74, 0x12, 0xF0}, zeros(7), 0}),
    [](const testing::TestParamInfo<extract_case>& info) { return info.param.name; });

// At the window's end the interpreter stops rather than read bytes that are no part of the
// image. The windows are exactly sized, so a sanitizer build would also see an over-read.
struct window_end_case {
    const char* name;
    byte_vector tail; // the last bytes of the window
    int store_count;
};

void PrintTo(const window_end_case& c, std::ostream* os) {
    *os << c.name;
}

class ExtractAtWindowEnd : public testing::TestWithParam<window_end_case> {};

TEST_P(ExtractAtWindowEnd, StopsAtTheLastByte) {
    const window_end_case& c = GetParam();
    for (std::size_t size : {c.tail.size(), std::size_t{4096}}) {
        byte_vector window = window_with(c.tail, size - c.tail.size(), size);
        const version_result r = extract_version(window.data(), window.size());
        EXPECT_EQ(r.store_count, c.store_count) << "window of " << size;
        EXPECT_EQ(r.found, c.store_count >= 1);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ExtractAtWindowEnd,
    testing::Values(
        window_end_case{"signature_is_the_last_four_bytes", SIGNATURE, 0},
        window_end_case{"store_is_the_last_byte", {0x90, 0x07, 0xF0, 0x74, 0x12, 0xF0}, 1},
        window_end_case{"operand_past_the_end", {0x90, 0x07, 0xF0, 0x74, 0x12, 0xF0, 0x74}, 1},
        window_end_case{
            "stores_up_to_the_end", {0x90, 0x07, 0xF0, 0x74, 0x12, 0xF0, 0xA3, 0x04, 0xF0}, 2}),
    [](const testing::TestParamInfo<window_end_case>& info) { return info.param.name; });

TEST(ExtractVersion, SignatureAtWindowOffsetZero) {
    byte_vector window = window_with(concat(TYPICAL, {0x90}), 0);
    const version_result r = extract_version(window.data(), window.size());
    EXPECT_EQ(r.store_count, 6);
}

TEST(ExtractVersion, GivesTheSameResultTwice) {
    byte_vector window = window_with(concat(TYPICAL, {0x90}));
    const version_result first = extract_version(window.data(), window.size());
    const version_result second = extract_version(window.data(), window.size());
    EXPECT_EQ(first_seven(first), first_seven(second));
    EXPECT_EQ(first.store_count, second.store_count);
}

// ---- format_version ----

struct format_case {
    byte_vector version_bytes;
    const char* text;
};

void PrintTo(const format_case& c, std::ostream* os) {
    *os << c.text;
}

class FormatVersion : public testing::TestWithParam<format_case> {};

TEST_P(FormatVersion, WritesFifteenCharacters) {
    const format_case& c = GetParam();
    unsigned char bytes[16] = {};
    std::copy(c.version_bytes.begin(), c.version_bytes.end(), bytes);
    char text[32];
    std::fill(std::begin(text), std::end(text), '#');
    format_version(bytes, text);
    EXPECT_STREQ(text, c.text);
    EXPECT_EQ(text[16], '#') << "wrote past the terminator";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FormatVersion,
    testing::Values(format_case{{0x13, 0x06, 0x27, 0x00, 0x00, 0x02}, "130627_00_00_02"},
                    format_case{{0x14, 0x11, 0x26, 0xA1, 0xCC, 0x40}, "141126_A1_CC_40"},
                    format_case{{0xFF, 0x0A, 0xB0, 0x01, 0xFE, 0x0F, 0x77}, "FF0AB0_01_FE_0F"}));

// ---- load_image ----

struct load_case {
    const char* name;
    std::size_t file_size;
};

void PrintTo(const load_case& c, std::ostream* os) {
    *os << c.name;
}

class LoadImage : public testing::TestWithParam<load_case> {};

TEST_P(LoadImage, FillsTheWindowFromTheStart) {
    const load_case& c = GetParam();
    scratch_dir dir;
    bytes content(c.file_size, '\0');
    for (std::size_t i = 0; i < content.size(); ++i)
        content[i] = static_cast<char>(1 + i % 251);
    write_file(dir / "image.bin", content);

    std::vector<unsigned char> window(IMAGE_WINDOW_SIZE, 0xEE);
    ASSERT_EQ(load_image((dir / "image.bin").c_str(), window.data(), window.size()), 1);
    const std::size_t loaded = std::min(c.file_size, IMAGE_WINDOW_SIZE);
    EXPECT_TRUE(
        std::equal(window.begin(), window.begin() + static_cast<long>(loaded), content.begin(),
                   [](unsigned char w, char c) { return w == static_cast<unsigned char>(c); }));
    EXPECT_TRUE(std::all_of(window.begin() + static_cast<long>(loaded), window.end(),
                            [](unsigned char b) { return b == 0; }))
        << "the window past a short file must be cleared";
}

INSTANTIATE_TEST_SUITE_P(Sizes, LoadImage,
                         testing::Values(load_case{"one_byte", 1}, load_case{"short", 1000},
                                         load_case{"exactly_the_window", IMAGE_WINDOW_SIZE},
                                         load_case{"larger", 3 * IMAGE_WINDOW_SIZE + 7}),
                         [](const testing::TestParamInfo<load_case>& info) {
                             return info.param.name;
                         });

} // namespace
