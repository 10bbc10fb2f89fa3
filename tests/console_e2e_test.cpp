// The built tool run as a user runs it: exact standard output bytes and exit status.
#include "expected.h"
#include "support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A long folder name, so that paths pass 255 characters.
const std::string LONG_NAME(200, 'd');

// The files every case can name, in the folder the tool runs in.
void lay_out_images(const scratch_dir& dir) {
    write_file(dir / "sample.bin", sample_image());
    write_file(dir / "blank.bin", bytes(1000, '\0'));
    write_file(dir / "empty.bin", "");
    write_file(dir / "%s%n.bin", sample_image());
    mkdir((dir / "folder.bin").c_str(), 0755);
    mkfifo((dir / "fifo.bin").c_str(), 0666);
    if (symlink("nowhere.bin", (dir / "dangling.bin").c_str()) != 0)
        throw std::runtime_error("symlink failed");
    if (symlink("sample.bin", (dir / "link.bin").c_str()) != 0)
        throw std::runtime_error("symlink failed");
    mkdir((dir / LONG_NAME).c_str(), 0755);
    mkdir((dir / LONG_NAME + "/" + LONG_NAME).c_str(), 0755);
    write_file(dir / LONG_NAME + "/" + LONG_NAME + "/sample.bin", sample_image());
}

struct console_case {
    const char* name;
    std::vector<std::string> args;
    bytes expected_out;
    int expected_status;
};

void PrintTo(const console_case& c, std::ostream* os) {
    *os << c.name;
}

class Console : public testing::TestWithParam<console_case> {};

TEST_P(Console, WritesExactBytesAndStatus) {
    const console_case& c = GetParam();
    scratch_dir dir;
    lay_out_images(dir);
    const tool_result r = run_tool(c.args, dir.path());
    EXPECT_EQ(r.out, c.expected_out);
    EXPECT_EQ(r.status, c.expected_status);
    if (!tool_has_runner()) {
        EXPECT_EQ(r.err, "");
    }
}

const std::string LONG_PATH = LONG_NAME + "/" + LONG_NAME + "/sample.bin";
const std::string LONG_MISSING = LONG_NAME + "/" + LONG_NAME + "/missing.bin";

INSTANTIATE_TEST_SUITE_P(
    Runs, Console,
    testing::Values(
        console_case{"no_arguments", {}, BANNER + USAGE + PROMPT, 0},
        console_case{"found", {"sample.bin", "y"}, BANNER + SAMPLE_VERSION, 1},
        console_case{"found_then_key_wait", {"sample.bin"}, BANNER + SAMPLE_VERSION + PROMPT, 0},
        console_case{"not_found", {"blank.bin", "y"}, BANNER + NOT_FOUND, 1},
        console_case{"missing_file", {"missing.bin", "y"}, BANNER + open_error("missing.bin"), 1},
        console_case{"missing_file_then_key_wait",
                     {"missing.bin"},
                     BANNER + open_error("missing.bin") + PROMPT,
                     0},
        console_case{"empty_file", {"empty.bin", "y"}, BANNER + read_error("empty.bin"), 1},
        console_case{"directory", {"folder.bin", "y"}, BANNER + open_error("folder.bin"), 1},
        // Only a regular file is an image: nothing else is opened, so nothing can block.
        console_case{"fifo_without_writer", {"fifo.bin", "y"}, BANNER + open_error("fifo.bin"), 1},
        console_case{"dev_null", {"/dev/null", "y"}, BANNER + open_error("/dev/null"), 1},
        console_case{"dev_zero", {"/dev/zero", "y"}, BANNER + open_error("/dev/zero"), 1},
        // Windows' devices; elsewhere simply missing files, with the same answer.
        console_case{"windows_nul", {"NUL", "y"}, BANNER + open_error("NUL"), 1},
        console_case{"windows_con", {"CON", "y"}, BANNER + open_error("CON"), 1},
        console_case{
            "dangling_link", {"dangling.bin", "y"}, BANNER + open_error("dangling.bin"), 1},
        console_case{"link_to_an_image", {"link.bin", "y"}, BANNER + SAMPLE_VERSION, 1},
        console_case{"path_is_not_a_format", {"%s%n.bin", "y"}, BANNER + SAMPLE_VERSION, 1},
        console_case{"missing_path_is_not_a_format",
                     {"%s%n%d.bin", "y"},
                     BANNER + open_error("%s%n%d.bin"),
                     1},
        console_case{"path_over_255_characters", {LONG_PATH, "y"}, BANNER + SAMPLE_VERSION, 1},
        console_case{"missing_path_over_255_characters",
                     {LONG_MISSING, "y"},
                     BANNER + open_error(LONG_MISSING),
                     1}),
    [](const testing::TestParamInfo<console_case>& info) { return info.param.name; });

// Only a 'y' or 'Y' somewhere in the second argument skips the wait; the third is ignored.
struct flag_case {
    const char* name;
    std::vector<std::string> rest;
    bool no_wait;
};

void PrintTo(const flag_case& c, std::ostream* os) {
    *os << c.name;
}

class NoWaitFlag : public testing::TestWithParam<flag_case> {};

TEST_P(NoWaitFlag, DecidesPromptAndStatus) {
    const flag_case& c = GetParam();
    scratch_dir dir;
    write_file(dir / "sample.bin", sample_image());
    std::vector<std::string> args = {"sample.bin"};
    args.insert(args.end(), c.rest.begin(), c.rest.end());
    const tool_result r = run_tool(args, dir.path());
    EXPECT_EQ(r.out, BANNER + SAMPLE_VERSION + (c.no_wait ? "" : PROMPT));
    EXPECT_EQ(r.status, c.no_wait ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, NoWaitFlag,
    testing::Values(flag_case{"y", {"y"}, true}, flag_case{"Y", {"Y"}, true},
                    flag_case{"yes", {"yes"}, true}, flag_case{"any", {"any"}, true},
                    flag_case{"n", {"n"}, false}, flag_case{"zero", {"0"}, false},
                    flag_case{"empty", {""}, false},
                    flag_case{"third_is_ignored", {"n", "y"}, false},
                    flag_case{"third_after_y", {"y", "n"}, true}),
    [](const testing::TestParamInfo<flag_case>& info) { return info.param.name; });

TEST(SpecialFiles, FifoWithAWriterIsRefused) {
    scratch_dir dir;
    mkfifo((dir / "fifo.bin").c_str(), 0666);
    // Held open for writing, with data waiting, for the whole run.
    const int writer = open((dir / "fifo.bin").c_str(), O_RDWR | O_NONBLOCK);
    ASSERT_GE(writer, 0);
    ASSERT_EQ(write(writer, "\x90\x07\xF0\x74\x12\xF0", 6), 6);
    const tool_result r = run_tool({"fifo.bin", "y"}, dir.path());
    close(writer);
    EXPECT_EQ(r.out, BANNER + open_error("fifo.bin"));
    EXPECT_EQ(r.status, 1);
}

// An image must accept write access, although it is only read.
TEST(ConsoleUnprivileged, ReadOnlyImageIsRefused) {
    scratch_dir dir;
    write_file(dir / "readonly.bin", sample_image());
    chmod((dir / "readonly.bin").c_str(), 0444);
    run_options options;
    if (getuid() == 0) {
        if (!can_run_unprivileged())
            GTEST_SKIP() << "root may write a read-only file; an unprivileged user is not "
                            "available through this runner";
        options.unprivileged = true;
    }
    const tool_result r = run_tool({"readonly.bin", "y"}, dir.path(), options);
    EXPECT_EQ(r.out, BANNER + open_error("readonly.bin"));
    EXPECT_EQ(r.status, 1);
}

// The real dump: reported right, and left exactly as it was.
TEST(RealFirmware, ReportsItsVersionAndStaysUnchanged) {
    const std::string fixtures = shared_fixtures_dir();
    if (fixtures.empty())
        GTEST_SKIP() << "../shared/fixtures is absent (outside this workplace): no real dump";
    const std::string original = fixtures + "/bridge-fw-141126_A1_CC_40.bin";
    scratch_dir dir;
    const bytes content = read_file(original);
    write_file(dir / "dump.bin", content);
    struct stat before;
    ASSERT_EQ(stat((dir / "dump.bin").c_str(), &before), 0);

    const tool_result r = run_tool({"dump.bin", "y"}, dir.path());
    EXPECT_EQ(r.out, BANNER + "Img version: 141126_A1_CC_40 [6]\r\n") << r.err;
    EXPECT_EQ(r.status, 1);

    struct stat after;
    ASSERT_EQ(stat((dir / "dump.bin").c_str(), &after), 0);
    EXPECT_EQ(read_file(dir / "dump.bin"), content);
    EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
    EXPECT_EQ(read_file(original), content);
}

} // namespace
