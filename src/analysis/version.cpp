#include "analysis/version.h"

#include "analysis/pattern.h"

#include <cstdio>

namespace {

// MOV DPTR,#07F0h; MOV A,#data
const unsigned char VERSION_SIGNATURE[] = {0x90, 0x07, 0xF0, 0x74};

const unsigned VERSION_AREA_START = 0x07F0;
const unsigned VERSION_AREA_END = 0x07F6;

enum : unsigned char {
    OP_INC_A = 0x04,
    OP_DEC_A = 0x14,
    OP_MOV_A_DATA = 0x74,
    OP_MOV_DPTR_DATA16 = 0x90,
    OP_INC_DPTR = 0xA3,
    OP_CLR_A = 0xE4,
    OP_MOVX_AT_DPTR_A = 0xF0,
};

std::size_t instruction_length(unsigned char opcode) {
    if (opcode == OP_MOV_DPTR_DATA16)
        return 3;
    if (opcode == OP_MOV_A_DATA)
        return 2;
    return 1;
}

} // namespace

version_result extract_version(const unsigned char* window, std::size_t window_len) {
    version_result result = {};
    std::optional<std::size_t> match =
        find_pattern(window, window_len, VERSION_SIGNATURE, sizeof VERSION_SIGNATURE);
    if (!match)
        return result;

    const unsigned char* code = window + *match;
    // Bytes past the window are no part of the image: an instruction that does not fit ends
    // the run of code.
    const std::size_t code_len = window_len - *match;
    unsigned char a = 0;
    unsigned dptr = 0;
    std::size_t offset = 0;
    for (;;) {
        const unsigned char opcode = code[offset];
        const std::size_t length = instruction_length(opcode);
        if (offset + length > code_len)
            break;
        switch (opcode) {
        case OP_INC_A:
            ++a;
            break;
        case OP_DEC_A:
            --a;
            break;
        case OP_MOV_A_DATA:
            a = code[offset + 1];
            break;
        case OP_MOV_DPTR_DATA16:
            dptr = code[offset + 1] * 256u + code[offset + 2];
            break;
        case OP_INC_DPTR:
            ++dptr;
            break;
        case OP_CLR_A:
            a = 0;
            break;
        case OP_MOVX_AT_DPTR_A:
            // Only the signature's own MOV DPTR ever runs, so DPTR is within the area here.
            result.version_bytes[dptr - VERSION_AREA_START] = a;
            ++result.store_count;
            break;
        default:
            break;
        }
        offset += length;
        ++result.instruction_count;
        if (dptr > VERSION_AREA_END || offset >= code_len || code[offset] == OP_MOV_DPTR_DATA16 ||
            offset >= MAX_INTERPRETED)
            break;
    }
    result.found = result.store_count >= 1;
    return result;
}

void format_version(const unsigned char* version_bytes, char* text) {
    std::snprintf(text, VERSION_TEXT_SIZE, "%02X%02X%02X_%02X_%02X_%02X", version_bytes[0],
                  version_bytes[1], version_bytes[2], version_bytes[3], version_bytes[4],
                  version_bytes[5]);
}
