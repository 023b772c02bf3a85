#pragma once

#include <string>

// How one file is packed into the report archive: deflate at level 5, or 6
// where 5 would lose too much, or no compression at all for data that does
// not shrink. Every choice is a plain
// zip entry that any unzip opens.
struct EntryCompression {
    bool store = false;  // kept as it is (ZIP_CM_STORE)
    int level = 5;       // deflate level, 1 to 9, when not stored
};

// Chosen from a sample of the file spread over its whole length. A small
// file, or one that cannot be read, is deflated; the archive reports a read
// error itself.
EntryCompression chooseEntryCompression(const std::string& path);

// The same choice for a sample already in memory.
EntryCompression chooseCompressionForSample(const std::string& sample);
