// The results log, byte for byte, after runs of the built tool.
#include "expected.h"
#include "support.h"

#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

const char LOG[] = "tolmarik.txt";
const bytes SAMPLE_LINE = "sample.bin - 130627_00_00_02 [6]\r\n";
const bytes BLANK_LINE = "blank.bin - Not found\r\n";

using run_list = std::vector<std::vector<std::string>>;

struct log_case {
    const char* name;
    std::optional<bytes> initial; // the log before the runs, if there is one
    run_list runs;
    std::optional<bytes> expected; // the log after them, if there is one
};

void PrintTo(const log_case& c, std::ostream* os) {
    *os << c.name;
}

class ResultsLog : public testing::TestWithParam<log_case> {};

TEST_P(ResultsLog, HoldsExactlyTheseBytes) {
    const log_case& c = GetParam();
    scratch_dir dir;
    write_file(dir / "sample.bin", sample_image());
    write_file(dir / "blank.bin", bytes(1000, '\0'));
    write_file(dir / "empty.bin", "");
    if (c.initial)
        write_file(dir / LOG, *c.initial);
    for (const auto& args : c.runs)
        run_tool(args, dir.path());
    if (c.expected) {
        ASSERT_TRUE(file_exists(dir / LOG));
        EXPECT_EQ(read_file(dir / LOG), *c.expected);
    } else {
        EXPECT_FALSE(file_exists(dir / LOG));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Runs, ResultsLog,
    testing::Values(
        log_case{"no_argument_creates_no_log", {}, {{}}, {}},
        log_case{"missing_image_creates_an_empty_log", {}, {{"missing.bin", "y"}}, ""},
        log_case{"missing_image_adds_nothing", "old\r\n", {{"missing.bin", "y"}}, "old\r\n"},
        log_case{"empty_image_adds_nothing", {}, {{"empty.bin", "y"}}, ""},
        log_case{"found", {}, {{"sample.bin", "y"}}, SAMPLE_LINE},
        log_case{"not_found", {}, {{"blank.bin", "y"}}, BLANK_LINE},
        log_case{"written_before_the_key_wait", {}, {{"sample.bin"}}, SAMPLE_LINE},
        log_case{"two_runs_two_lines",
                 {},
                 {{"sample.bin", "y"}, {"sample.bin", "y"}},
                 SAMPLE_LINE + SAMPLE_LINE},
        log_case{"appended_after_what_was_there",
                 "x.bin - Not found\r\n",
                 {{"blank.bin", "y"}, {"sample.bin", "n"}},
                 "x.bin - Not found\r\n" + BLANK_LINE + SAMPLE_LINE},
        log_case{"trailing_eof_mark_removed",
                 "old\r\n\x1A",
                 {{"sample.bin", "y"}},
                 "old\r\n" + SAMPLE_LINE},
        log_case{"only_one_eof_mark_removed",
                 "old\r\n\x1A\x1A",
                 {{"sample.bin", "y"}},
                 "old\r\n\x1A" + SAMPLE_LINE},
        log_case{"inner_eof_mark_kept",
                 "o\x1Ald\r\n",
                 {{"sample.bin", "y"}},
                 "o\x1Ald\r\n" + SAMPLE_LINE},
        log_case{"eof_mark_removed_on_a_failed_load", "old\x1A", {{"missing.bin", "y"}}, "old"}),
    [](const testing::TestParamInfo<log_case>& info) { return info.param.name; });

TEST(ResultsLogPaths, LongPathIsLoggedWhole) {
    scratch_dir dir;
    const std::string name(200, 'd');
    mkdir((dir / name).c_str(), 0755);
    mkdir((dir / name + "/" + name).c_str(), 0755);
    const std::string path = name + "/" + name + "/sample.bin";
    write_file(dir / path, sample_image());
    run_tool({path, "y"}, dir.path());
    EXPECT_EQ(read_file(dir / LOG), path + " - 130627_00_00_02 [6]\r\n");
}

// A log that cannot be created changes nothing on the console.
TEST(ResultsLogUnwritable, ConsoleAndStatusAsWithALog) {
    if (!can_run_unprivileged())
        GTEST_SKIP() << "needs root to run as an unprivileged user; not available through a "
                        "runner";
    scratch_dir images;
    scratch_dir readonly_cwd;
    write_file(images / "sample.bin", sample_image());
    chmod((images / "sample.bin").c_str(), 0666);
    chmod(readonly_cwd.path().c_str(), 0555);
    run_options options;
    options.unprivileged = true;

    for (const bool no_wait : {true, false}) {
        std::vector<std::string> args = {images / "sample.bin"};
        if (no_wait)
            args.push_back("y");
        const tool_result r = run_tool(args, readonly_cwd.path(), options);
        EXPECT_EQ(r.out, BANNER + SAMPLE_VERSION + (no_wait ? "" : PROMPT));
        EXPECT_EQ(r.status, no_wait ? 1 : 0);
        EXPECT_EQ(r.err, "");
    }
    EXPECT_FALSE(file_exists(readonly_cwd / LOG));
}

// Runs started together on one log: every line arrives whole, none is lost.
TEST(ResultsLogParallel, EveryLineArrivesWhole) {
    const int RUNS = 32;
    scratch_dir dir;
    const std::string folder(200, 'f');
    mkdir((dir / folder).c_str(), 0755);
    std::set<bytes> expected;
    std::vector<std::string> paths;
    for (int i = 0; i < RUNS; ++i) {
        const std::string path =
            folder + "/image-" + std::to_string(i) + "-" + std::string(200, 'x') + ".bin";
        write_file(dir / path, i % 2 == 0 ? sample_image() : bytes(1000, '\0'));
        paths.push_back(path);
        expected.insert(path + (i % 2 == 0 ? " - 130627_00_00_02 [6]\r\n" : " - Not found\r\n"));
    }
    std::vector<tool_result> results(RUNS);
    std::vector<std::thread> runs;
    for (int i = 0; i < RUNS; ++i)
        runs.emplace_back([&, i] { results[i] = run_tool({paths[i], "y"}, dir.path()); });
    for (auto& run : runs)
        run.join();
    for (int i = 0; i < RUNS; ++i)
        EXPECT_EQ(results[i].out, BANNER + (i % 2 == 0 ? SAMPLE_VERSION : NOT_FOUND))
            << "run " << i << ": " << results[i].err;

    const bytes log = read_file(dir / LOG);
    std::multiset<bytes> lines;
    for (std::size_t start = 0; start < log.size();) {
        std::size_t end = log.find("\r\n", start);
        ASSERT_NE(end, bytes::npos) << "the log ends inside a line";
        lines.insert(log.substr(start, end + 2 - start));
        start = end + 2;
    }
    EXPECT_EQ(lines.size(), static_cast<std::size_t>(RUNS));
    EXPECT_EQ(std::set<bytes>(lines.begin(), lines.end()), expected);
}

TEST(ResultsLogRealFirmware, LogsItsVersion) {
    const std::string fixtures = shared_fixtures_dir();
    if (fixtures.empty())
        GTEST_SKIP() << "../shared/fixtures is absent (outside this workplace): no real dump";
    const std::string dump = fixtures + "/bridge-fw-141126_A1_CC_40.bin";
    if (access(dump.c_str(), W_OK) != 0)
        GTEST_SKIP() << "the shared dump is read-only to this user, and an image must accept "
                        "write access";
    const bytes content = read_file(dump);
    struct stat before;
    ASSERT_EQ(stat(dump.c_str(), &before), 0);
    scratch_dir dir;

    const tool_result r = run_tool({dump, "y"}, dir.path());
    EXPECT_EQ(r.out, BANNER + "Img version: 141126_A1_CC_40 [6]\r\n");
    EXPECT_EQ(read_file(dir / LOG), dump + " - 141126_A1_CC_40 [6]\r\n");

    struct stat after;
    ASSERT_EQ(stat(dump.c_str(), &after), 0);
    EXPECT_EQ(read_file(dump), content);
    EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
}

} // namespace
