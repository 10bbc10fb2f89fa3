// What the tool needs from the operating system. Each platform has one file that implements
// all of it: posix.cpp or windows.cpp, chosen by the build.
#pragma once

#include <cstddef>
#include <cstdint>

// Process-wide setup, before anything is written.
void platform_init();

// Writes all of bytes to standard output, unbuffered. Errors are ignored: the exit status
// tells only whether the key wait was skipped.
void write_stdout(const unsigned char* bytes, std::size_t count);

// Opens the regular file at path for reading and update, as an image must allow, and reads up
// to capacity bytes from its start into buffer. Returns 0 when it cannot be opened that way
// (missing, read-only, or not a regular file, so nothing can block or change on open);
// otherwise 1, with the number of bytes read in *count (0 for an empty file or a read error).
int read_image_file(const char* path, unsigned char* buffer, std::size_t capacity,
                    std::size_t* count);

// The results log file. NO_LOG_FILE when it could not be opened.
using log_file = std::intptr_t;
constexpr log_file NO_LOG_FILE = -1;

// Opens or creates name for reading and appending. An end-of-file mark 0x1A that is the
// file's last byte is removed; nothing else in the file changes.
log_file open_log_file(const char* name);
// Appends bytes at the end of the file in one write, so lines from concurrent runs never
// interleave.
void append_log_file(log_file file, const unsigned char* bytes, std::size_t count);
void close_log_file(log_file file);

// Returns after one key press on the console keyboard, consuming every byte or code of it and
// of any keys typed before; returns at once when there is no console keyboard.
void wait_for_key();
