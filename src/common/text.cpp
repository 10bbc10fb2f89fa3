#include "common/text.h"

#include "platform/platform.h"

namespace {

void put_byte(text_sink* sink, unsigned char byte) {
    if (sink->length == sink->capacity)
        sink_flush(sink);
    sink->buffer[sink->length++] = byte;
}

// Every newline leaves as CR LF, whether it comes from a format or from an argument.
void put_char(text_sink* sink, char c) {
    if (c == '\n')
        put_byte(sink, '\r');
    put_byte(sink, static_cast<unsigned char>(c));
}

void put_text(text_sink* sink, const char* text) {
    for (; *text != '\0'; ++text)
        put_char(sink, *text);
}

void put_decimal(text_sink* sink, int value) {
    char digits[12];
    int count = 0;
    // Work in the negative range so that INT_MIN needs no special case.
    int rest = value < 0 ? value : -value;
    do {
        digits[count++] = static_cast<char>('0' - rest % 10);
        rest /= 10;
    } while (rest != 0);
    if (value < 0)
        put_byte(sink, '-');
    while (count > 0)
        put_byte(sink, static_cast<unsigned char>(digits[--count]));
}

void put_hex_byte(text_sink* sink, unsigned value) {
    static const char hex[] = "0123456789ABCDEF";
    put_byte(sink, static_cast<unsigned char>(hex[(value >> 4) & 0xF]));
    put_byte(sink, static_cast<unsigned char>(hex[value & 0xF]));
}

void write_stdout_flush(void*, const unsigned char* bytes, std::size_t count) {
    write_stdout(bytes, count);
}

} // namespace

void sink_vformat(text_sink* sink, const char* format, std::va_list args) {
    for (const char* p = format; *p != '\0'; ++p) {
        if (*p != '%') {
            put_char(sink, *p);
            continue;
        }
        ++p;
        if (*p == '\0')
            break;
        if (*p == 's') {
            put_text(sink, va_arg(args, const char*));
        } else if (*p == 'd') {
            put_decimal(sink, va_arg(args, int));
        } else if (p[0] == '0' && p[1] == '2' && p[2] == 'X') {
            put_hex_byte(sink, va_arg(args, unsigned));
            p += 2;
        } else {
            put_char(sink, *p);
        }
    }
}

void sink_format(text_sink* sink, const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    sink_vformat(sink, format, args);
    va_end(args);
}

void sink_flush(text_sink* sink) {
    if (sink->length > 0)
        sink->flush(sink->context, sink->buffer, sink->length);
    sink->length = 0;
}

void print_text(const char* format, ...) {
    unsigned char buffer[4096];
    text_sink sink = {buffer, sizeof buffer, 0, write_stdout_flush, nullptr};
    std::va_list args;
    va_start(args, format);
    sink_vformat(&sink, format, args);
    va_end(args);
    sink_flush(&sink);
}
