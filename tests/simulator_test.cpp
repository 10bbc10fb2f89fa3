// The interpreter against a real 8051: version-code runs written in assembly are assembled
// with sdas8051 and executed in the s51 simulator for as many instructions as the interpreter
// takes; the bytes stored at XDATA 0x07F0..0x07F6 and the number of stores must agree, with
// the interpreter and, for the hand-written runs, with the built tool's report.
#include "analysis/image.h"
#include "analysis/version.h"
#include "expected.h"
#include "support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <random>
#include <sstream>

namespace {

const unsigned AREA_START = 0x07F0;
const unsigned AREA_END = 0x07F6;
// Stores the simulator could make past the area are looked for too, up to here.
const unsigned WATCH_END = 0x07FF;

bool tool_available(const char* name) {
    return std::system(("command -v " + std::string(name) + " >/dev/null 2>&1").c_str()) == 0;
}

bool simulator_available() {
    return tool_available("sdas8051") && tool_available("sdld") && tool_available("s51");
}

void require_simulator() {
    if (simulator_available())
        return;
    if (std::getenv("TOLMARIK_REQUIRE_SIMULATOR") != nullptr)
        FAIL() << "sdas8051, sdld or s51 is missing (Debian: sdcc, sdcc-ucsim)";
    GTEST_SKIP() << "sdas8051, sdld or s51 is missing (Debian: sdcc, sdcc-ucsim)";
}

std::string capture(const std::string& command) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return out;
    char buffer[4096];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        out.append(buffer, got);
    pclose(pipe);
    return out;
}

// Assembles source (origin 0) into Intel HEX; returns the path, or "" with the tools' output.
std::string assemble(const scratch_dir& dir, const std::string& source, std::string* errors) {
    write_file(dir / "run.asm", source);
    *errors =
        capture("cd '" + dir.path() +
                "' && sdas8051 -plosgff run.rel run.asm 2>&1 && sdld -i run.ihx run.rel 2>&1");
    return file_exists(dir / "run.ihx") ? dir / "run.ihx" : "";
}

// The code bytes of an Intel HEX file, placed at their addresses in a window.
std::vector<unsigned char> load_hex(const std::string& path) {
    std::vector<unsigned char> window(IMAGE_WINDOW_SIZE, 0x00);
    std::istringstream in(read_file(path));
    std::string line;
    while (std::getline(in, line)) {
        if (line.size() < 11 || line[0] != ':' || line.substr(7, 2) != "00")
            continue;
        const unsigned count = std::stoul(line.substr(1, 2), nullptr, 16);
        const unsigned address = std::stoul(line.substr(3, 4), nullptr, 16);
        for (unsigned i = 0; i < count && address + i < window.size(); ++i)
            window[address + i] =
                static_cast<unsigned char>(std::stoul(line.substr(9 + 2 * i, 2), nullptr, 16));
    }
    return window;
}

struct simulated {
    unsigned char area[7];
    int stores;
    std::string transcript;
};

// Runs the program in s51 for `steps` instructions from reset, the version area cleared first.
simulated simulate(const scratch_dir& dir, const std::string& hex, int steps) {
    std::ostringstream commands;
    commands << "fill xram 0x7f0 0x7f6 0\n";
    if (steps > 0)
        commands << "step " << steps << "\n";
    commands << "statistic xram 0x7f0 0x" << std::hex << WATCH_END << "\n"
             << "dump xram 0x7f0 0x7f6\nquit\n";
    write_file(dir / "commands", commands.str());
    simulated result = {};
    result.transcript = capture("s51 -b -t 8051 '" + hex + "' < '" + (dir / "commands") + "' 2>&1");

    std::istringstream lines(result.transcript);
    std::string line;
    while (std::getline(lines, line)) {
        unsigned address = 0;
        unsigned writes = 0;
        if (std::sscanf(line.c_str(), "xram[0x%x] writes= %u", &address, &writes) == 2) {
            // The fill wrote each area address once before the run.
            result.stores += static_cast<int>(writes) - (address <= AREA_END ? 1 : 0);
        } else if (line.rfind("0x07f0 ", 0) == 0) {
            std::istringstream dump(line.substr(6));
            for (unsigned char& byte : result.area) {
                unsigned value = 0;
                dump >> std::hex >> value;
                byte = static_cast<unsigned char>(value);
            }
        }
    }
    return result;
}

// The report line the tool should print for what the simulator stored.
bytes expected_report(const simulated& real) {
    char text[64];
    std::snprintf(text, sizeof text, "Img version: %02X%02X%02X_%02X_%02X_%02X [%d]\r\n",
                  real.area[0], real.area[1], real.area[2], real.area[3], real.area[4],
                  real.area[5], real.stores);
    return text;
}

// Assembles and simulates source and checks the interpreter against it, and with
// run_the_tool also the built tool's report on the assembled image. Returns the interpreter's
// result for further checks.
version_result compare(const std::string& source, bool run_the_tool = false) {
    scratch_dir dir;
    std::string errors;
    const std::string hex = assemble(dir, source, &errors);
    EXPECT_FALSE(hex.empty()) << "does not assemble:\n" << source << errors;
    if (hex.empty())
        return {};
    const std::vector<unsigned char> window = load_hex(hex);
    const version_result ours = extract_version(window.data(), window.size());
    const simulated real = simulate(dir, hex, ours.instruction_count);
    EXPECT_EQ(ours.store_count, real.stores) << source << real.transcript;
    for (unsigned i = 0; i <= AREA_END - AREA_START; ++i)
        EXPECT_EQ(ours.version_bytes[i], real.area[i])
            << "XDATA 0x" << std::hex << AREA_START + i << "\n"
            << source << real.transcript;
    if (run_the_tool) {
        write_file(dir / "run.bin", bytes(window.begin(), window.begin() + 256));
        EXPECT_EQ(run_tool({"run.bin", "y"}, dir.path()).out, BANNER + expected_report(real));
    }
    return ours;
}

std::vector<std::string> hand_written_runs() {
    std::vector<std::string> names;
    const std::string folder = TOLMARIK_SOURCE_DIR "/tests/sim";
    if (DIR* dir = opendir(folder.c_str())) {
        while (dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name.size() > 4 && name.substr(name.size() - 4) == ".asm")
                names.push_back(name);
        }
        closedir(dir);
    }
    return names;
}

TEST(Simulator, HandWrittenRunsAgree) {
    require_simulator();
    const std::vector<std::string> names = hand_written_runs();
    ASSERT_FALSE(names.empty());
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        const version_result ours =
            compare(read_file(TOLMARIK_SOURCE_DIR "/tests/sim/" + name), true);
        EXPECT_TRUE(ours.found);
    }
}

// One instruction of a generated run, in assembly, and its length in bytes.
struct instruction {
    std::string text;
    int length;
};

instruction random_instruction(std::mt19937& random) {
    char operand[16];
    std::snprintf(operand, sizeof operand, "#0x%02X", static_cast<unsigned>(random() % 256));
    switch (random() % 8) {
    case 0:
        return {"inc a", 1};
    case 1:
        return {"dec a", 1};
    case 2:
        return {std::string("mov a,") + operand, 2};
    case 3:
        return {"clr a", 1};
    case 4:
        return {"inc dptr", 1};
    case 5:
        return {"nop", 1};
    default:
        return {"movx @dptr,a", 1};
    }
}

// Runs of the opcodes the interpreter knows, and NOP, each ending with a MOV DPTR before
// offset 40, so the real 8051 and the interpreter see the same end of the run.
TEST(Simulator, GeneratedRunsAgree) {
    require_simulator();
    std::mt19937 random(8051);
    const int RUNS = 300;
    for (int run = 0; run < RUNS; ++run) {
        std::ostringstream source;
        source << "        .area CODE (ABS)\n        .org 0\n"
               << "        mov dptr,#0x07F0\n"
               << "        mov a,#0x" << std::hex << random() % 256 << std::dec << "\n";
        int offset = 5;
        const int end = 5 + static_cast<int>(random() % 35);
        for (;;) {
            const instruction next = random_instruction(random);
            if (offset + next.length > end)
                break;
            source << "        " << next.text << "\n";
            offset += next.length;
        }
        source << "        mov dptr,#0x0800\n";
        SCOPED_TRACE("generated run " + std::to_string(run));
        compare(source.str());
        if (HasFailure())
            break;
    }
}

} // namespace
