// The key wait in a real pseudo-terminal: the prompt, keys of one or many bytes, type-ahead,
// signals, and the terminal's settings afterwards.
#include "expected.h"
#include "support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

// The tool on a terminal of its own. The test keeps the terminal's slave side open too, so it
// can look at what is left in the input queue and at the settings once the tool has gone.
class terminal_session {
  public:
    explicit terminal_session(const std::string& type_ahead = "") {
        if (openpty(&master_, &slave_, nullptr, nullptr, nullptr) != 0)
            throw std::runtime_error("openpty failed");
        tcgetattr(slave_, &initial_);
        write_file(dir_ / "sample.bin", sample_image());
        // Typed before the tool even starts: it is waiting in the terminal's queue.
        type(type_ahead);
        child_ = fork();
        if (child_ == 0) {
            setsid();
            ioctl(slave_, TIOCSCTTY, 0);
            dup2(slave_, STDIN_FILENO);
            dup2(slave_, STDOUT_FILENO);
            dup2(slave_, STDERR_FILENO);
            close(master_);
            if (chdir(dir_.path().c_str()) != 0)
                _exit(125);
            std::vector<std::string> args = tool_command();
            args.push_back("sample.bin");
            std::vector<char*> argv;
            for (auto& arg : args)
                argv.push_back(arg.data());
            argv.push_back(nullptr);
            execvp(argv[0], argv.data());
            _exit(127);
        }
    }

    ~terminal_session() {
        if (child_ > 0 && !reaped_) {
            kill(child_, SIGKILL);
            waitpid(child_, nullptr, 0);
        }
        close(master_);
        close(slave_);
    }

    void type(const std::string& keys) {
        if (!keys.empty() && write(master_, keys.data(), keys.size()) < 0)
            throw std::runtime_error("write to terminal failed");
    }

    // Reads the terminal's output until it holds text; false after the timeout.
    bool wait_for_output(const std::string& text, std::chrono::milliseconds timeout = 10s) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (screen_.find(text) == std::string::npos) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                return false;
            struct pollfd request = {master_, POLLIN, 0};
            if (poll(&request, 1, static_cast<int>(left.count())) <= 0)
                continue;
            char buffer[4096];
            ssize_t got = read(master_, buffer, sizeof buffer);
            if (got > 0)
                screen_.append(buffer, static_cast<std::size_t>(got));
        }
        return true;
    }

    // The exit status (128 + signal when killed), or -1 if the tool is still running after
    // the timeout.
    int wait_for_exit(std::chrono::milliseconds timeout = 5s) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline) {
            int status = 0;
            if (waitpid(child_, &status, WNOHANG) == child_) {
                reaped_ = true;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(5ms);
        }
        return -1;
    }

    // Bytes still waiting in the terminal's input queue, where a shell would read them.
    int pending_input() const {
        int count = -1;
        ioctl(slave_, FIONREAD, &count);
        return count;
    }

    bool settings_as_before() const {
        struct termios now;
        tcgetattr(slave_, &now);
        return now.c_iflag == initial_.c_iflag && now.c_oflag == initial_.c_oflag &&
               now.c_cflag == initial_.c_cflag && now.c_lflag == initial_.c_lflag &&
               std::memcmp(now.c_cc, initial_.c_cc, sizeof now.c_cc) == 0;
    }

    bool echo_on() const {
        struct termios now;
        tcgetattr(slave_, &now);
        return (now.c_lflag & ECHO) != 0 && (now.c_lflag & ICANON) != 0;
    }

    // CPU time the tool has used so far, in clock ticks.
    long cpu_ticks() const {
        std::ifstream stat("/proc/" + std::to_string(child_) + "/stat");
        std::string field;
        long ticks = 0;
        for (int i = 1; i <= 15 && stat >> field; ++i)
            if (i == 14 || i == 15)
                ticks += std::stol(field);
        return ticks;
    }

    pid_t pid() const {
        return child_;
    }

  private:
    scratch_dir dir_;
    int master_ = -1;
    int slave_ = -1;
    struct termios initial_ = {};
    pid_t child_ = -1;
    bool reaped_ = false;
    std::string screen_;
};

const std::string PROMPT_TEXT = "Press any key to exit";

class KeyWait : public testing::Test {};

struct key_case {
    const char* name;
    std::vector<std::string> pieces; // typed one after another, a little apart
    // wine's terminal console holds a lone ESC back as the start of a sequence that never
    // comes, so the Windows build never sees that key there.
    bool native_only = false;
};

void PrintTo(const key_case& c, std::ostream* os) {
    *os << c.name;
}

class KeyPress : public KeyWait, public testing::WithParamInterface<key_case> {};

TEST_P(KeyPress, EndsTheWaitAndLeavesNothingBehind) {
    if (GetParam().native_only && tool_has_runner())
        GTEST_SKIP() << "a lone ESC does not reach a program under wine's terminal console";
    terminal_session session;
    ASSERT_TRUE(session.wait_for_output(PROMPT_TEXT));
    EXPECT_EQ(session.wait_for_exit(300ms), -1) << "ended before any key";
    for (const std::string& piece : GetParam().pieces) {
        session.type(piece);
        std::this_thread::sleep_for(20ms);
    }
    EXPECT_EQ(session.wait_for_exit(), 0);
    EXPECT_EQ(session.pending_input(), 0);
    EXPECT_TRUE(session.settings_as_before());
}

INSTANTIATE_TEST_SUITE_P(
    Keys, KeyPress,
    testing::Values(key_case{"letter", {"a"}}, key_case{"enter", {"\r"}},
                    key_case{"arrow_up", {"\x1b[A"}}, key_case{"f1", {"\x1bOP"}},
                    key_case{"f5", {"\x1b[15~"}}, key_case{"escape", {"\x1b"}, true},
                    key_case{"ctrl_c", {"\x03"}}, key_case{"non_ascii", {"\xc3\xa9"}},
                    key_case{"arrow_in_pieces", {"\x1b", "[", "B"}}),
    [](const testing::TestParamInfo<key_case>& info) { return info.param.name; });

TEST_F(KeyWait, TypeAheadEndsItAtOnce) {
    terminal_session session("\x1b[Dxyz");
    ASSERT_TRUE(session.wait_for_output(PROMPT_TEXT));
    EXPECT_EQ(session.wait_for_exit(), 0);
    EXPECT_EQ(session.pending_input(), 0);
    EXPECT_TRUE(session.settings_as_before());
}

TEST_F(KeyWait, SleepsWhileWaiting) {
    terminal_session session;
    ASSERT_TRUE(session.wait_for_output(PROMPT_TEXT));
    const long before = session.cpu_ticks();
    std::this_thread::sleep_for(500ms);
    // A polling loop that never sleeps would use the whole half second (about 50 ticks).
    EXPECT_LE(session.cpu_ticks() - before, 5);
    session.type("q");
    EXPECT_EQ(session.wait_for_exit(), 0);
}

class KeyWaitSignal : public KeyWait, public testing::WithParamInterface<int> {};

TEST_P(KeyWaitSignal, RestoresTheTerminal) {
    terminal_session session;
    ASSERT_TRUE(session.wait_for_output(PROMPT_TEXT));
    std::this_thread::sleep_for(50ms);
    kill(session.pid(), GetParam());
    const int status = session.wait_for_exit();
    // Windows has no signals: wine turns them into console events, which end the process in
    // their own way. What matters everywhere is the terminal afterwards.
    if (tool_has_runner())
        EXPECT_NE(status, -1);
    else
        EXPECT_EQ(status, 128 + GetParam());
    EXPECT_TRUE(session.echo_on());
    EXPECT_TRUE(session.settings_as_before());
}

INSTANTIATE_TEST_SUITE_P(Signals, KeyWaitSignal, testing::Values(SIGINT, SIGTERM, SIGHUP),
                         [](const testing::TestParamInfo<int>& info) {
                             return std::string(sigabbrev_np(info.param));
                         });

} // namespace
