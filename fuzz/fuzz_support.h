#pragma once

#include <string>

#include "tests/support/temp_dir.h"

// What every fuzz target shares: a scratch directory, a logger that composes
// every line but writes none, and a failure that libFuzzer keeps as a crash.
namespace fuzz_support {

// Lets every module log at every level into a writer that drops the lines,
// so the composing code is fuzzed too without filling a disk.
void silenceLogging();

// A fresh directory for the whole fuzzing process, removed at its end.
const testing_support::TempDir& scratch();

// Removes everything inside the scratch directory.
void clearScratch();

// Reports a broken promise with the input's own words and aborts, so
// libFuzzer saves the input that broke it.
[[noreturn]] void fail(const std::string& what);

inline void require(bool holds, const std::string& what)
{
    if (!holds)
        fail(what);
}

// True when text is UTF-8 that survives the trip through UTF-16 a wide
// Simple MAPI provider is handed.
bool isValidUtf8(const std::string& text);

} // namespace fuzz_support
