// Finding the code that stores the firmware version and following it.
#pragma once

#include <cstddef>

// Instructions are taken only while their offset from the start of the match is below this.
constexpr std::size_t MAX_INTERPRETED = 40;

// Room for the version text and its terminator.
constexpr std::size_t VERSION_TEXT_SIZE = 16;

struct version_result {
    // Bytes stored at XDATA 0x07F0 and up; only elements 0..6 can be written.
    unsigned char version_bytes[16];
    // MOVX @DPTR,A instructions executed, at most 35.
    int store_count;
    // The signature was found and at least one store executed.
    bool found;
    // Instructions executed, the signature's two included; 0 without a signature.
    int instruction_count;
};

// Searches window for the version signature and interprets the code from there.
version_result extract_version(const unsigned char* window, std::size_t window_len);

// Writes version bytes 0..5 as "XXXXXX_XX_XX_XX" and a terminator; text must have room for
// VERSION_TEXT_SIZE characters.
void format_version(const unsigned char* version_bytes, char* text);
