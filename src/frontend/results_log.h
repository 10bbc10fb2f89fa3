// The results log: one line per run that loaded an image, appended to tolmarik.txt in the
// current directory.
#pragma once

#include "platform/platform.h"

// Opens (and creates when missing) the log; NO_LOG_FILE when it cannot. Prints nothing.
log_file open_results_log();
// "<path> - <version text> [<store count>]"
void log_found(log_file log, const char* image_path, const char* version_text, int store_count);
// "<path> - Not found"
void log_not_found(log_file log, const char* image_path);
void close_results_log(log_file log);
