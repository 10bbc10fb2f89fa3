#include "frontend/results_log.h"

#include "common/text.h"

namespace {

const char RESULTS_LOG_NAME[] = "tolmarik.txt";

// The longest argument Linux passes is 128 KiB; with every byte a newline turned into CR LF
// such a path still fits, so each line leaves in a single append.
unsigned char line_buffer[2 * 131072 + 64];

void append_flush(void* context, const unsigned char* bytes, std::size_t count) {
    append_log_file(*static_cast<log_file*>(context), bytes, count);
}

void log_line(log_file log, const char* format, ...) {
    if (log == NO_LOG_FILE)
        return;
    text_sink sink = {line_buffer, sizeof line_buffer, 0, append_flush, &log};
    std::va_list args;
    va_start(args, format);
    sink_vformat(&sink, format, args);
    va_end(args);
    sink_flush(&sink);
}

} // namespace

log_file open_results_log() {
    return open_log_file(RESULTS_LOG_NAME);
}

void log_found(log_file log, const char* image_path, const char* version_text, int store_count) {
    log_line(log, "%s - %s [%d]\n", image_path, version_text, store_count);
}

void log_not_found(log_file log, const char* image_path) {
    log_line(log, "%s - Not found\n", image_path);
}

void close_results_log(log_file log) {
    close_log_file(log);
}
