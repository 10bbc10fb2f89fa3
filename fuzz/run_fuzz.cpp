// Property: for any file content, a whole run ("tolmarik image.bin y": load, extract, format,
// log) ends with exit status 1, leaves the image byte for byte as it was, and leaves a results
// log that holds exactly one well-formed line, or nothing when the file is empty.
#include "frontend/run.h"
#include "fuzz_assert.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

namespace {

std::string read_all(const char* path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

bool is_upper_hex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

// "image.bin - XXXXXX_XX_XX_XX [n]\r\n" with n from 1 to 35, or "image.bin - Not found\r\n".
bool well_formed(const std::string& line) {
    const std::string prefix = "image.bin - ";
    if (line == prefix + "Not found\r\n")
        return true;
    if (line.compare(0, prefix.size(), prefix) != 0)
        return false;
    const std::string rest = line.substr(prefix.size());
    const std::string shape = "HHHHHH_HH_HH_HH [";
    if (rest.size() < shape.size() + 4)
        return false;
    for (std::size_t i = 0; i < shape.size(); ++i)
        if (shape[i] == 'H' ? !is_upper_hex(rest[i]) : rest[i] != shape[i])
            return false;
    const std::string count = rest.substr(shape.size());
    const std::size_t close = count.find("]\r\n");
    if (close == std::string::npos || close + 3 != count.size() || close == 0 || close > 2 ||
        count[0] == '0')
        return false;
    const int stores = std::atoi(count.substr(0, close).c_str());
    return stores >= 1 && stores <= 35;
}

char work_folder[] = "/tmp/tolmarik-run-fuzz-XXXXXX";

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // A folder of its own for the image and the log, and the console out of the way.
    if (mkdtemp(work_folder) == nullptr)
        std::abort();
    const int null_out = open("/dev/null", O_WRONLY);
    dup2(null_out, STDOUT_FILENO);
    close(null_out);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The log goes to the current folder; the fuzzer's own paths are relative to the one it
    // started in, so step over only for the run.
    const int started_in = open(".", O_RDONLY | O_DIRECTORY);
    FUZZ_ASSERT(started_in >= 0 && chdir(work_folder) == 0);
    const std::string content(reinterpret_cast<const char*>(data), size);
    {
        std::ofstream image("image.bin", std::ios::binary | std::ios::trunc);
        image << content;
    }
    std::remove("tolmarik.txt");

    char name[] = "tolmarik";
    char path[] = "image.bin";
    char flag[] = "y";
    char* argv[] = {name, path, flag, nullptr};
    FUZZ_ASSERT(run(3, argv) == 1);

    FUZZ_ASSERT(read_all("image.bin") == content);
    const std::string log = read_all("tolmarik.txt");
    if (size == 0)
        FUZZ_ASSERT(log.empty());
    else
        FUZZ_ASSERT(well_formed(log));
    FUZZ_ASSERT(fchdir(started_in) == 0);
    close(started_in);
    return 0;
}
