#include "platform/platform.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

const unsigned char END_OF_FILE_MARK = 0x1A;

int write_all(int fd, const unsigned char* bytes, std::size_t count) {
    while (count > 0) {
        ssize_t written = write(fd, bytes, count);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return 0;
        }
        bytes += written;
        count -= static_cast<std::size_t>(written);
    }
    return 1;
}

int lock_file(int fd, int operation) {
    while (flock(fd, operation) != 0) {
        if (errno != EINTR)
            return 0;
    }
    return 1;
}

// Called with the log locked exclusively: an append by a parallel run cannot land between the
// look at the last byte and the cut.
void drop_end_of_file_mark(int fd) {
    struct stat status;
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || status.st_size == 0)
        return;
    unsigned char last = 0;
    if (pread(fd, &last, 1, status.st_size - 1) != 1 || last != END_OF_FILE_MARK)
        return;
    // Should the cut fail, the mark stays; errors on the log are not reported.
    if (ftruncate(fd, status.st_size - 1) != 0)
        return;
}

// The terminal as it was before the key wait, put back on every way out.
int keyboard_fd = -1;
struct termios saved_settings;
volatile sig_atomic_t settings_changed = 0;

const int RESTORING_SIGNALS[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
const int RESTORING_SIGNAL_COUNT = sizeof RESTORING_SIGNALS / sizeof RESTORING_SIGNALS[0];

void restore_and_reraise(int signal_number) {
    if (settings_changed)
        tcsetattr(keyboard_fd, TCSANOW, &saved_settings);
    signal(signal_number, SIG_DFL);
    raise(signal_number);
}

// Whether the bytes stop inside one key: an escape sequence or a UTF-8 character whose rest is
// still on its way (over a slow link a key's bytes can arrive in pieces).
bool key_incomplete(const unsigned char* bytes, std::size_t count) {
    std::size_t i = 0;
    while (i < count) {
        unsigned char byte = bytes[i];
        if (byte == 0x1B) {
            if (i + 1 == count)
                return true;
            if (bytes[i + 1] == '[') {
                std::size_t j = i + 2;
                while (j < count && bytes[j] >= 0x20 && bytes[j] <= 0x3F)
                    ++j;
                if (j == count)
                    return true;
                i = j + 1;
            } else if (bytes[i + 1] == 'O') {
                if (i + 2 == count)
                    return true;
                i += 3;
            } else {
                i += 2;
            }
        } else if (byte >= 0xC0) {
            std::size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : 2;
            if (i + length > count)
                return true;
            i += length;
        } else {
            ++i;
        }
    }
    return false;
}

// Waits until input is readable or the timeout (ms, -1 for none) passes; the process sleeps.
bool wait_readable(int fd, int timeout_ms) {
    struct pollfd request = {fd, POLLIN, 0};
    int ready;
    do {
        ready = poll(&request, 1, timeout_ms);
    } while (ready < 0 && errno == EINTR);
    return ready > 0;
}

// The rest of a key that arrived in pieces is never more than this far behind its first byte.
const int KEY_REST_TIMEOUT_MS = 100;

void read_one_key(int fd) {
    unsigned char key[64];
    std::size_t count = 0;
    if (!wait_readable(fd, -1))
        return;
    do {
        ssize_t got = read(fd, key + count, sizeof key - count);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        count += static_cast<std::size_t>(got);
    } while (count < sizeof key && key_incomplete(key, count) &&
             wait_readable(fd, KEY_REST_TIMEOUT_MS));
    // Whatever else was typed is swallowed with the key, as a console does.
    tcflush(fd, TCIFLUSH);
}

} // namespace

void platform_init() {
    // Writing to a closed pipe must not kill the run: the exit status and the log line depend
    // on it finishing.
    signal(SIGPIPE, SIG_IGN);
}

void write_stdout(const unsigned char* bytes, std::size_t count) {
    write_all(STDOUT_FILENO, bytes, count);
}

int read_image_file(const char* path, unsigned char* buffer, std::size_t capacity,
                    std::size_t* count) {
    // Look before opening: opening a device or a FIFO for writing can block or have effects.
    struct stat status;
    if (stat(path, &status) != 0 || !S_ISREG(status.st_mode))
        return 0;
    int fd = open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return 0;
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        close(fd);
        return 0;
    }
    std::size_t total = 0;
    while (total < capacity) {
        ssize_t got = read(fd, buffer + total, capacity - total);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        total += static_cast<std::size_t>(got);
    }
    close(fd);
    *count = total;
    return 1;
}

log_file open_log_file(const char* name) {
    int fd = open(name, O_RDWR | O_CREAT | O_APPEND | O_NOCTTY | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0)
        return NO_LOG_FILE;
    int locked = lock_file(fd, LOCK_EX);
    drop_end_of_file_mark(fd);
    if (locked)
        lock_file(fd, LOCK_UN);
    return fd;
}

void append_log_file(log_file file, const unsigned char* bytes, std::size_t count) {
    if (file == NO_LOG_FILE)
        return;
    int fd = static_cast<int>(file);
    // O_APPEND alone is not atomic everywhere (NFS), and no append may land during another
    // run's cut at open: runs take turns.
    int locked = lock_file(fd, LOCK_EX);
    write_all(fd, bytes, count);
    if (locked)
        lock_file(fd, LOCK_UN);
}

void close_log_file(log_file file) {
    if (file != NO_LOG_FILE)
        close(static_cast<int>(file));
}

void wait_for_key() {
    if (!isatty(STDIN_FILENO) || tcgetattr(STDIN_FILENO, &saved_settings) != 0)
        return;
    keyboard_fd = STDIN_FILENO;

    struct sigaction restoring = {};
    restoring.sa_handler = restore_and_reraise;
    sigemptyset(&restoring.sa_mask);
    struct sigaction previous[RESTORING_SIGNAL_COUNT];
    for (int i = 0; i < RESTORING_SIGNAL_COUNT; ++i)
        sigaction(RESTORING_SIGNALS[i], &restoring, &previous[i]);

    // No echo, no line editing, and Ctrl-C is a key like any other. TCSANOW rather than
    // TCSAFLUSH: keys typed before the prompt must end the wait, not vanish.
    struct termios raw = saved_settings;
    raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO | ISIG | IEXTEN));
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    settings_changed = 1;
    if (tcsetattr(keyboard_fd, TCSANOW, &raw) == 0)
        read_one_key(keyboard_fd);

    tcsetattr(keyboard_fd, TCSANOW, &saved_settings);
    settings_changed = 0;
    for (int i = 0; i < RESTORING_SIGNAL_COUNT; ++i)
        sigaction(RESTORING_SIGNALS[i], &previous[i], nullptr);
}
