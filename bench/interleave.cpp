// Times two commands in interleaved pairs, so that both see the same machine state, and
// prints each one's median wall time and peak memory and the median of the per-pair ratios.
//
//   interleave PAIRS -- COMMAND_A ARGS... -- COMMAND_B ARGS...
//
// Standard input and output of the commands are /dev/null.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

struct sample {
    double seconds;
    long peak_kib;
};

sample run_once(const std::vector<char*>& argv) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        const int null = open("/dev/null", O_RDWR);
        dup2(null, STDIN_FILENO);
        dup2(null, STDOUT_FILENO);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    struct rusage usage = {};
    wait4(child, &status, 0, &usage);
    const auto end = std::chrono::steady_clock::now();
    if (!WIFEXITED(status) || WEXITSTATUS(status) == 127) {
        std::fprintf(stderr, "interleave: %s did not run\n", argv[0]);
        std::exit(2);
    }
    return {std::chrono::duration<double>(end - start).count(), usage.ru_maxrss};
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

std::string joined(const std::vector<char*>& argv) {
    std::string text;
    for (char* word : argv)
        if (word != nullptr)
            text += (text.empty() ? "" : " ") + std::string(word);
    return text;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 6 || std::strcmp(argv[2], "--") != 0) {
        std::fprintf(stderr, "use: interleave PAIRS -- COMMAND_A... -- COMMAND_B...\n");
        return 2;
    }
    const int pairs = std::atoi(argv[1]);
    std::vector<char*> a;
    std::vector<char*> b;
    int i = 3;
    for (; i < argc && std::strcmp(argv[i], "--") != 0; ++i)
        a.push_back(argv[i]);
    for (++i; i < argc; ++i)
        b.push_back(argv[i]);
    if (pairs < 1 || a.empty() || b.empty()) {
        std::fprintf(stderr, "use: interleave PAIRS -- COMMAND_A... -- COMMAND_B...\n");
        return 2;
    }
    a.push_back(nullptr);
    b.push_back(nullptr);

    // A few unmeasured runs first, so that both start from warm caches.
    for (int warm = 0; warm < 3; ++warm) {
        run_once(a);
        run_once(b);
    }
    std::vector<double> times_a, times_b, ratios, peaks_a, peaks_b;
    for (int pair = 0; pair < pairs; ++pair) {
        // Alternate which goes first, so neither always follows the other.
        sample first = run_once(pair % 2 == 0 ? a : b);
        sample second = run_once(pair % 2 == 0 ? b : a);
        const sample& sa = pair % 2 == 0 ? first : second;
        const sample& sb = pair % 2 == 0 ? second : first;
        times_a.push_back(sa.seconds);
        times_b.push_back(sb.seconds);
        ratios.push_back(sa.seconds / sb.seconds);
        peaks_a.push_back(static_cast<double>(sa.peak_kib));
        peaks_b.push_back(static_cast<double>(sb.peak_kib));
    }
    std::printf("A: %s\n   median %.3f ms, peak memory %.0f KiB\n", joined(a).c_str(),
                median(times_a) * 1e3, *std::max_element(peaks_a.begin(), peaks_a.end()));
    std::printf("B: %s\n   median %.3f ms, peak memory %.0f KiB\n", joined(b).c_str(),
                median(times_b) * 1e3, *std::max_element(peaks_b.begin(), peaks_b.end()));
    std::printf("A/B: %.2f (median of %d interleaved pairs)\n", median(ratios), pairs);
    return 0;
}
