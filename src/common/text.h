// Text output in which every newline becomes CR LF, so the console and the results log hold
// the same bytes on every platform.
#pragma once

#include <cstdarg>
#include <cstddef>

// Collects formatted text in a caller-owned buffer and hands it to `flush` whenever the buffer
// fills up and when `sink_flush` is called.
struct text_sink {
    unsigned char* buffer;
    std::size_t capacity;
    std::size_t length;
    void (*flush)(void* context, const unsigned char* bytes, std::size_t count);
    void* context;
};

// Formats into the sink. Conversions: %s text, %d decimal int, %02X two-digit upper-case hex,
// %% a percent sign. Any other character after % stands for itself. Arguments are data: a '%'
// inside a %s argument is written as it is.
void sink_format(text_sink* sink, const char* format, ...);
void sink_vformat(text_sink* sink, const char* format, std::va_list args);
void sink_flush(text_sink* sink);

// Formats to standard output and flushes before returning, so every message is out before
// anything else happens (a key wait, the process ending).
void print_text(const char* format, ...);
