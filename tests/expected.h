// The exact bytes the tool writes, CR LF included, for comparing whole outputs.
#pragma once

#include "support.h"

const bytes BANNER = "ASMedia USB bridge firmware image version v0.2a by Quarnel\r\n";
const bytes USAGE = "Use: tolmarik asm_fw_image.bin [y]\r\n";
const bytes PROMPT = "\r\nPress any key to exit\r\n";
const bytes READ_ERROR = "Read fw error!\r\n";
const bytes NOT_FOUND = "Image version not found\r\n";
const bytes SAMPLE_VERSION = "Img version: 130627_00_00_02 [6]\r\n";

inline bytes open_error(const std::string& path) {
    return path + ": Open File Error\r\n" + READ_ERROR;
}

inline bytes read_error(const std::string& path) {
    return path + ": Read File Error\r\n" + READ_ERROR;
}
