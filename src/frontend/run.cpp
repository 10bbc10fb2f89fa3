#include "frontend/run.h"

#include "analysis/image.h"
#include "analysis/version.h"
#include "common/text.h"
#include "frontend/results_log.h"
#include "platform/platform.h"

#include <cstring>

namespace {

const char TOOL_VERSION[] = TOLMARIK_VERSION;

// The exit status says only whether the key wait was skipped; callers rely on nothing else.
const int EXIT_AFTER_KEY = 0;
const int EXIT_NO_WAIT = 1;

const char MSG_BANNER[] = "ASMedia USB bridge firmware image version v%s by Quarnel\n";
const char MSG_USAGE[] = "Use: tolmarik asm_fw_image.bin [y]\n";
const char MSG_READ_ERROR[] = "Read fw error!\n";
const char MSG_VERSION[] = "Img version: %s [%d]\n";
const char MSG_NOT_FOUND[] = "Image version not found\n";
const char MSG_PRESS_KEY[] = "\nPress any key to exit\n";

bool asks_no_wait(const char* argument) {
    return std::strchr(argument, 'Y') != nullptr || std::strchr(argument, 'y') != nullptr;
}

int finish(bool no_wait) {
    if (no_wait)
        return EXIT_NO_WAIT;
    print_text(MSG_PRESS_KEY);
    wait_for_key();
    return EXIT_AFTER_KEY;
}

} // namespace

int run(int argc, char** argv) {
    platform_init();
    print_text(MSG_BANNER, TOOL_VERSION);
    if (argc < 2) {
        print_text(MSG_USAGE);
        return finish(false);
    }
    // The argument itself, not a copy: a path of any length is used whole.
    const char* image_path = argv[1];
    const bool no_wait = argc > 2 && asks_no_wait(argv[2]);

    log_file log = open_results_log();
    // Static: 64 KiB is more than a small console's stack should carry.
    static unsigned char window[IMAGE_WINDOW_SIZE];
    if (!load_image(image_path, window, IMAGE_WINDOW_SIZE)) {
        print_text(MSG_READ_ERROR);
    } else {
        const version_result result = extract_version(window, IMAGE_WINDOW_SIZE);
        if (result.found) {
            char version_text[32];
            format_version(result.version_bytes, version_text);
            print_text(MSG_VERSION, version_text, result.store_count);
            log_found(log, image_path, version_text, result.store_count);
        } else {
            print_text(MSG_NOT_FOUND);
            log_not_found(log, image_path);
        }
    }
    close_results_log(log);
    return finish(no_wait);
}
