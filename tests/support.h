// Helpers shared by the tests: scratch folders, files as byte strings, and running the built
// tool as a user would.
#pragma once

#include <string>
#include <vector>

using bytes = std::string;

// A fresh folder under the system's temporary folder, removed with everything in it when the
// object goes away. Readable by every user, so that runs as an unprivileged user can enter it.
class scratch_dir {
  public:
    scratch_dir();
    ~scratch_dir();
    scratch_dir(const scratch_dir&) = delete;
    scratch_dir& operator=(const scratch_dir&) = delete;
    const std::string& path() const {
        return path_;
    }
    std::string operator/(const std::string& name) const {
        return path_ + "/" + name;
    }

  private:
    std::string path_;
};

void write_file(const std::string& path, const bytes& content);
bytes read_file(const std::string& path);
bool file_exists(const std::string& path);

struct tool_result {
    bytes out;
    bytes err;
    // The exit status, or 128 + the signal number when a signal ended the process.
    int status;
};

struct run_options {
    // Run as an unprivileged user (only possible when the tests run as root).
    bool unprivileged = false;
};

// Runs the tool with args in folder cwd, standard input from /dev/null. The tool is
// TOLMARIK_BIN from the environment, started through the words of TOLMARIK_RUNNER (for example
// "wine64"); each defaults to what the suite was built for.
tool_result run_tool(const std::vector<std::string>& args, const std::string& cwd,
                     const run_options& options = {});

// The tool's path, and the command that starts it: the runner's words, then the path.
std::string tool_path();
std::vector<std::string> tool_command();
// Whether the tool runs through a runner such as wine.
bool tool_has_runner();
// Whether unprivileged runs are possible here.
bool can_run_unprivileged();

// The shared fixtures folder beside the project, or "" when it is absent.
std::string shared_fixtures_dir();

// A small image with the version code at offset 0x120: stores 13 06 27 00 00 02, version text
// 130627_00_00_02, store count 6.
bytes sample_image();
