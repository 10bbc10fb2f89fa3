#pragma once

// One whole run of the tool over its command line; returns the exit status.
int run(int argc, char** argv);
