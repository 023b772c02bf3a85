#pragma once

#include <cstdio>
#include <ctime>
#include <string>

#include "platform/scoped_handle.h"

namespace platform {

// Opens path for writing as text, emptied, in a mode that lets other
// processes read and write the file meanwhile. nullptr when it cannot.
std::FILE* openSharedForWriting(const std::string& path);

// An open stream, closed when dropped. A writer that must hear of a failed
// close takes the stream with release() and closes it itself.
using ScopedFile = ScopedPointer<std::FILE, &std::fclose>;

// fopen with a path in UTF-8, which is how every path in this program is
// written, whatever the system's own code page.
std::FILE* openFile(const std::string& path, const char* mode);

// Deletes one file; false when it was not there or cannot go.
bool removeFile(const std::string& path);

// The write position of an open stream, or -1 when it has none.
long long writePosition(std::FILE* file);

// Hands text to the system at once, past the stream's buffer, which must be
// empty: a logger that flushes every line pays for one system call per line
// and no copy. False when not all of it could be written.
bool writeThrough(std::FILE* file, const std::string& text);

// The bytes text takes once written to a stream of openSharedForWriting:
// more than its length where the system stores a line end as two bytes.
long long storedTextSize(const std::string& text);

// Creates one directory level; the result is not worth reporting to callers
// that only want the directory to exist.
bool makeDirectory(const std::string& path);

// Local time of t, without a buffer shared between threads.
bool localTime(std::time_t t, std::tm& out);

// The process's current directory; false when it cannot be read.
bool currentDirectory(std::string& out);

// What separates directory and file name in a path of this system.
extern const char pathSeparator;

} // namespace platform
