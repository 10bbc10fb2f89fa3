#include "support.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <poll.h>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const uid_t UNPRIVILEGED_ID = 65534;
const int RUN_TIMEOUT_SECONDS = 60;

std::vector<std::string> split_words(const std::string& text) {
    std::vector<std::string> words;
    std::istringstream in(text);
    std::string word;
    while (in >> word)
        words.push_back(word);
    return words;
}

// Removes path and everything below it, folders a test made read-only included.
void remove_tree(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code ignored;
    fs::permissions(path, fs::perms::owner_all, fs::perm_options::add, ignored);
    for (auto it = fs::recursive_directory_iterator(path, ignored);
         it != fs::recursive_directory_iterator(); it.increment(ignored))
        if (it->is_directory(ignored) && !it->is_symlink(ignored))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(path, ignored);
}

} // namespace

scratch_dir::scratch_dir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern =
        std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/tolmarik-test-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (mkdtemp(name.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    path_ = name.data();
    chmod(path_.c_str(), 0755);
}

scratch_dir::~scratch_dir() {
    remove_tree(path_);
}

void write_file(const std::string& path, const bytes& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

bytes read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

bool file_exists(const std::string& path) {
    struct stat status;
    return lstat(path.c_str(), &status) == 0;
}

std::string tool_path() {
    const char* bin = std::getenv("TOLMARIK_BIN");
    return bin != nullptr && *bin != '\0' ? bin : TOLMARIK_DEFAULT_BIN;
}

std::vector<std::string> runner_words() {
    const char* runner = std::getenv("TOLMARIK_RUNNER");
    return split_words(runner != nullptr ? runner : TOLMARIK_DEFAULT_RUNNER);
}

std::vector<std::string> tool_command() {
    std::vector<std::string> command = runner_words();
    command.push_back(tool_path());
    return command;
}

bool tool_has_runner() {
    return !runner_words().empty();
}

bool can_run_unprivileged() {
    return geteuid() == 0 && !tool_has_runner();
}

tool_result run_tool(const std::vector<std::string>& args, const std::string& cwd,
                     const run_options& options) {
    std::vector<std::string> argv = tool_command();
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> c_argv;
    for (auto& arg : argv)
        c_argv.push_back(arg.data());
    c_argv.push_back(nullptr);

    int out_pipe[2];
    int err_pipe[2];
    if (pipe(out_pipe) != 0 || pipe(err_pipe) != 0)
        throw std::runtime_error("pipe failed");
    pid_t child = fork();
    if (child < 0)
        throw std::runtime_error("fork failed");
    if (child == 0) {
        int null_in = open("/dev/null", O_RDONLY);
        dup2(null_in, STDIN_FILENO);
        dup2(out_pipe[1], STDOUT_FILENO);
        dup2(err_pipe[1], STDERR_FILENO);
        close(out_pipe[0]);
        close(err_pipe[0]);
        if (chdir(cwd.c_str()) != 0)
            _exit(125);
        if (options.unprivileged && (setgroups(0, nullptr) != 0 || setgid(UNPRIVILEGED_ID) != 0 ||
                                     setuid(UNPRIVILEGED_ID) != 0))
            _exit(125);
        execvp(c_argv[0], c_argv.data());
        _exit(127);
    }
    close(out_pipe[1]);
    close(err_pipe[1]);

    // Read until the tool has ended and its pipes are drained. A process it started (wine
    // starts services) may hold the pipes open for longer, so their end is not waited for.
    tool_result result;
    struct pollfd fds[2] = {{out_pipe[0], POLLIN, 0}, {err_pipe[0], POLLIN, 0}};
    bytes* sinks[2] = {&result.out, &result.err};
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::seconds(RUN_TIMEOUT_SECONDS);
    int status = 0;
    bool reaped = false;
    for (;;) {
        const bool late = std::chrono::steady_clock::now() > deadline;
        if (!reaped) {
            reaped = waitpid(child, &status, WNOHANG) == child;
            if (!reaped && late) {
                kill(child, SIGKILL);
                waitpid(child, &status, 0);
                reaped = true;
            }
        }
        if (fds[0].fd < 0 && fds[1].fd < 0) {
            if (!reaped)
                waitpid(child, &status, 0);
            break;
        }
        // Once the tool has ended, all it wrote is in the pipes: take it without waiting.
        if (poll(fds, 2, reaped ? 0 : 10) <= 0) {
            if (reaped || late)
                break;
            continue;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0)
                continue;
            char buffer[65536];
            const ssize_t got = read(fds[i].fd, buffer, sizeof buffer);
            if (got > 0) {
                sinks[i]->append(buffer, static_cast<std::size_t>(got));
            } else {
                close(fds[i].fd);
                fds[i].fd = -1;
            }
        }
    }
    for (auto& fd : fds)
        if (fd.fd >= 0)
            close(fd.fd);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

std::string shared_fixtures_dir() {
    std::string dir = TOLMARIK_SOURCE_DIR "/../shared/fixtures";
    struct stat status;
    return stat(dir.c_str(), &status) == 0 && S_ISDIR(status.st_mode) ? dir : "";
}

bytes sample_image() {
    bytes image(0x200, '\0');
    const unsigned char code[] = {0x90, 0x07, 0xF0, 0x74, 0x13, 0xF0, 0xA3, 0x74, 0x06,
                                  0xF0, 0xA3, 0x74, 0x27, 0xF0, 0xA3, 0x74, 0x00, 0xF0,
                                  0xA3, 0x74, 0x00, 0xF0, 0xA3, 0x74, 0x02, 0xF0, 0x90};
    image.replace(0x120, sizeof code, reinterpret_cast<const char*>(code), sizeof code);
    return image;
}
