#pragma once

// The program's own entry, which the system's entry point calls with the
// command line in UTF-8 on every system.
int programMain(int argc, char* argv[]);
